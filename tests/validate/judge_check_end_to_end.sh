#!/usr/bin/env bash
# `lumvexip check --judge` end to end: a judge on loopback, proxies of the farm that forward to it
# adding the client's address, only Via, or nothing, from another loopback address (on loopback
# the checker, too, comes from 127.0.0.1). Also the judge's own failures and the flags' rules.
# Usage: judge_check_end_to_end.sh PATH_TO_LUMVEXIP PATH_TO_FARM
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"

program=${1:?path to lumvexip expected}
farm=${2:?path to lumvex_proxy_farm expected}

. "$(cd "$(dirname "$0")/../support" && pwd)/scratch.sh"
ready() { grep -q "$2" "$1" 2>/dev/null; }

# The judge: the program's own, on a free port. Sets `judge` to its address.
start_judge() {
  "$program" judge --listen 127.0.0.1:0 >"$work/judge.out" 2>"$work/judge.log" &
  pids+=($!)
  wait_for 10 ready "$work/judge.out" "judge listening on" || fail "the judge did not start"
  judge="$(awk '/^judge listening on/ {print $4}' "$work/judge.out")"
}
start_judge

# Proxies of every anonymity and a plain farm proxy that answers "ok" itself (no judge's reply).
"$farm" --count 3 --first-index 20 --anonymity mixed --outgoing 127.0.0.2 --max-seconds 110 \
  --out "$work/forwarding" >"$work/farm.out" 2>&1 &
pids+=($!)
"$farm" --count 1 --first-index 30 --max-seconds 110 --out "$work/answering" >"$work/farm2.out" 2>&1 &
pids+=($!)
wait_for 10 ready "$work/farm.out" ready || fail "the farm did not start"
wait_for 10 ready "$work/farm2.out" ready || fail "the second farm did not start"
mapfile -t forwarding <"$work/forwarding"
answering=$(cat "$work/answering")
tab=$'\t'

# run LIST ARGS...: lumvexip check over the lines of LIST (an address:port line, or a file), its
# stdout in $work/out, stderr in $work/err, exit status in $status.
run() {
  local list=$1
  shift
  [ -f "$list" ] || { echo "$list" >"$work/one"; list="$work/one"; }
  "$program" check "$list" "$@" --check-timeout 10 --data-dir "$work/data" >"$work/out" 2>"$work/err"
  status=$?
}
line_of() { awk -F'\t' -v a="$1" '$1 == a' "$work/out"; }

# The three kinds, TSV and JSON, own address from the judge; the farm's order is transparent,
# anonymous, elite.
cat "$work/forwarding" - <<<"$answering" >"$work/list"
run "$work/list" --judge "$judge"
[ "$status" = 0 ] || fail "check exited with $status: $(cat "$work/err")"
expected=(transparent anonymous elite)
for i in 0 1 2; do
  got=$(line_of "${forwarding[$i]}" | cut -f2,4)
  [ "$got" = "ok${tab}${expected[$i]}" ] || fail "${forwarding[$i]}: got '$got', want ${expected[$i]}"
done
got=$(line_of "$answering" | cut -f2,4)
[ "$got" = "failed${tab}-" ] || fail "a proxy answering itself: got '$got'"

run "$work/list" --judge "$judge" --json --protocol http
grep -q "\"address\":\"${forwarding[0]}\".*\"protocols\":\[\"http\"\],\"anonymity\":\"transparent\"}" \
  "$work/out" || fail "JSON transparent: $(cat "$work/out")"
grep -q "\"address\":\"$answering\",\"verdict\":\"failed\".*\"anonymity\":\"-\",\"reason\":\"judge reply unreadable\",\"detail\":\"not a judge" \
  "$work/out" || fail "JSON reason: $(cat "$work/out")"

# Told another own address, the proxy passing 127.0.0.1 on no longer gives the user away.
run "${forwarding[0]}" --judge "$judge" --my-address 10.9.9.9 --my-address ::1
[ "$(cut -f4 "$work/out")" = anonymous ] || fail "--my-address: $(cat "$work/out")"

# A judge that cannot be asked: exit 1 with the reason, nothing checked.
run "${forwarding[2]}" --judge "http://127.0.0.1:1/"
[ "$status" = 1 ] && [ ! -s "$work/out" ] && grep -q "own address" "$work/err" ||
  fail "judge unreachable: status $status, $(cat "$work/out" "$work/err")"

# Flags that do not go together: usage errors, exit 2.
for bad in "--expect x" "--check-url http://127.0.0.1:1/" "--my-address nonsense" ; do
  # shellcheck disable=SC2086
  run "${forwarding[2]}" --judge "$judge" $bad
  [ "$status" = 2 ] || fail "--judge with $bad: status $status"
done
run "${forwarding[2]}" --my-address 127.0.0.1
[ "$status" = 2 ] || fail "--my-address without --judge: status $status"
echo "PASS"
