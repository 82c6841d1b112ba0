#!/usr/bin/env bash
# `lumvexip check --every` against loopback farm proxies: every proxy is checked at once, a
# working one again and again, a proxy that dies between two rounds is "failed" in the next one,
# SIGTERM ends the run with exit 0; a bad MINUTES is a usage error (exit 2).
# Usage: check_every_end_to_end.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_PROXY_FARM
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/scratch.sh"

program=${1:?path to lumvexip expected}
farm=${2:?path to lumvex_proxy_farm expected}

# Two proxies, each a farm of its own, so that one can be ended alone.
"$farm" --count 1 --behaviour answer --out "$work/stays" --max-seconds 110 >/dev/null 2>&1 &
pids+=($!)
"$farm" --count 1 --behaviour answer --first-index 1 --out "$work/dies" --max-seconds 110 \
  >/dev/null 2>&1 &
dying_farm=$!
pids+=($dying_farm)
wait_for 10 test -s "$work/stays" || fail "the first farm did not start"
wait_for 10 test -s "$work/dies" || fail "the second farm did not start"
stays=$(tr -d '\r' <"$work/stays")
dies=$(tr -d '\r' <"$work/dies")
printf '%s\n%s\n' "$stays" "$dies" >"$work/list"

verdicts() { awk -F'\t' -v a="$1" -v v="$2" '$1 == a && $2 == v' "$work/out" | wc -l; }
at_least() { [ "$(verdicts "$1" "$2")" -ge "$3" ]; }

# Working proxies every 1.2 s, the others every 4.8 s.
"$program" check "$work/list" --every 0.02 --threads 4 --check-timeout 2 \
  --validation-host 127.0.0.1:9 --data-dir "$work/data" >"$work/out" 2>"$work/err" &
checker=$!
pids+=($checker)

wait_for 10 at_least "$dies" ok 1 || fail "no first verdict: $(cat "$work/out" "$work/err")"
end_children "$dying_farm"
# The next round finds it gone; the other one keeps passing.
wait_for 15 at_least "$dies" failed 1 || fail "the dead proxy never failed: $(cat "$work/out")"
wait_for 15 at_least "$stays" ok 3 || fail "the working proxy was not re-checked: $(cat "$work/out")"
[ "$(verdicts "$stays" failed)" = 0 ] || fail "the working proxy failed: $(cat "$work/out")"

kill -TERM "$checker"
wait "$checker"
status=$?
[ "$status" = 0 ] || fail "SIGTERM: exit status $status, $(cat "$work/err")"

for bad in 0 -1 soon 1e3; do
  "$program" check "$work/list" --every "$bad" --data-dir "$work/data" >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" = 2 ] || fail "--every $bad: exit status $status"
  [ -s "$work/out" ] && fail "--every $bad printed a verdict"
done
"$program" check --help | grep -q -- "--every MINUTES" || fail "--help does not tell of --every"
echo "PASS"
