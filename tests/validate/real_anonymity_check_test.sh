#!/usr/bin/env bash
# `lumvexip check --judge` against real proxy software from Debian on loopback ports, each in the
# configurations that make it transparent, anonymous or elite: tinyproxy (X-Tinyproxy on; Via as
# installed; DisableViaHeader) and squid (forwarded_for on; off; delete with via off). Their
# onward connections come from 127.0.0.2, so the judge on 127.0.0.1 tells them from the checker.
# Privoxy cannot choose its outgoing address: it is checked with --my-address naming another
# address (bare: elite; adding X-Forwarded-For 127.0.0.1, not "the user's": anonymous), when
# installed.
# Usage: real_anonymity_check_test.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_FIXTURE_SERVER
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"

program=${1:?path to lumvexip expected}
server=${2:?path to lumvex_fixture_server expected}
configs=$(cd "$(dirname "$0")/real_proxies" && pwd)
squid=$(command -v squid || echo /usr/sbin/squid)
tinyproxy=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
if [ ! -x "$squid" ] || [ ! -x "$tinyproxy" ]; then
  echo "SKIP: squid or tinyproxy is not installed"
  exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"  # squid started as root writes its log as its own user
. "$(cd "$(dirname "$0")/../support" && pwd)/real_servers.sh"

# The judge: the one place that starts it.
start judge - "$program" judge --listen 127.0.0.1:@PORT@
judge="http://${address[judge]}/"

levels=(transparent anonymous elite)
for level in "${levels[@]}"; do
  start "tinyproxy-$level" "tinyproxy-$level.conf" "$tinyproxy" -d -c @CONF@
  start "squid-$level" "squid-$level.conf" "$squid" -N -f @CONF@
done

list=""
for level in "${levels[@]}"; do list+="${address[tinyproxy-$level]}"$'\n'"${address[squid-$level]}"$'\n'; done
printf "%s" "$list" | "$program" check - --judge "$judge" --check-timeout 20 \
  --data-dir "$work/data" >"$work/out" 2>"$work/err" ||
  fail "check exited with $?: $(cat "$work/err")"
tab=$'\t'
for level in "${levels[@]}"; do
  for name in "tinyproxy-$level" "squid-$level"; do
    got=$(awk -F'\t' -v a="${address[$name]}" '$1 == a {print $2 "\t" $4}' "$work/out")
    [ "$got" = "ok${tab}$level" ] || fail "$name: expected ok and $level, got '$got'"
  done
done

privoxy=$(command -v privoxy || echo /usr/sbin/privoxy)
if [ -x "$privoxy" ]; then
  cp "$configs/privoxy-forwarded-for.action" "$work/"
  start privoxy-plain privoxy-plain.conf "$privoxy" --no-daemon @CONF@
  start privoxy-forwarded-for privoxy-forwarded-for.conf "$privoxy" --no-daemon @CONF@
  printf "%s\n%s\n" "${address[privoxy-plain]}" "${address[privoxy-forwarded-for]}" |
    "$program" check - --judge "$judge" --my-address 10.9.9.9 --check-timeout 20 \
      --data-dir "$work/data" >"$work/out" 2>"$work/err" ||
    fail "check exited with $?: $(cat "$work/err")"
  for expected in privoxy-plain=elite privoxy-forwarded-for=anonymous; do
    name=${expected%%=*}
    got=$(awk -F'\t' -v a="${address[$name]}" '$1 == a {print $2 "\t" $4}' "$work/out")
    [ "$got" = "ok${tab}${expected#*=}" ] || fail "$name: expected ok and ${expected#*=}, got '$got'"
  done
else
  echo "privoxy is not installed: its part is left out"
fi
echo "PASS"
