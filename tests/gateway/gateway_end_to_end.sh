#!/usr/bin/env bash
# The real `lumvexip gateway` over real upstreams on loopback (tinyproxy and squid over HTTP,
# microsocks and Dante over SOCKS5) and a loopback origin: curl through its HTTP port (plain and
# tunnelled with --proxytunnel) and its SOCKS5 port, requests that keep succeeding while the
# upstreams die one by one, Chromium loading a page through it, and its exit statuses.
# Usage: gateway_end_to_end.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_FIXTURE_SERVER
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"

program=${1:?path to lumvexip expected}
server=${2:?path to lumvex_fixture_server expected}
configs=$(cd "$(dirname "$0")/../validate/real_proxies" && pwd)
tinyproxy=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
squid=$(command -v squid || echo /usr/sbin/squid)
microsocks=$(command -v microsocks || echo /usr/bin/microsocks)
danted=$(command -v danted || echo /usr/sbin/danted)
for tool in "$tinyproxy" "$squid" "$microsocks" "$danted"; do
  [ -x "$tool" ] || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
chmod 755 "$work"  # squid started as root writes its log as its own user
. "$(cd "$(dirname "$0")/../support" && pwd)/real_servers.sh"

start tinyproxy tinyproxy-open.conf "$tinyproxy" -d -c @CONF@
tinyproxy_pid=${pids[-1]}
start squid squid-open.conf "$squid" -N -f @CONF@
squid_pid=${pids[-1]}
start microsocks - "$microsocks" -i 127.0.0.1 -p @PORT@
microsocks_pid=${pids[-1]}
start dante dante.conf "$danted" -f @CONF@ -p "$work/dante.pid"

origin="http://127.0.0.1:$origin_port/"
common=(--validation-host "$origin" --check-timeout 10 --data-dir "$work/data")

# Bad usage and lists that give nothing are told by the exit status.
"$program" gateway - --listen 0.0.0.0:0 "${common[@]}" </dev/null 2>"$work/usage.err"
[ $? = 2 ] || fail "a listen address off loopback without --allow: not exit 2"
grep -q "allow" "$work/usage.err" || fail "no word of --allow in: $(cat "$work/usage.err")"
printf '127.0.0.1:1\n' | "$program" gateway - --listen 127.0.0.1:0 "${common[@]}" 2>"$work/none.err"
[ $? = 1 ] || fail "no row passing: not exit 1: $(cat "$work/none.err")"

printf '%s\n' "${address[tinyproxy]}" "${address[squid]}" "socks5://${address[microsocks]}" \
  "socks5h://${address[dante]}" >"$work/list"
"$program" gateway "$work/list" --listen 127.0.0.1:0 --socks-listen 127.0.0.1:0 --rotate best \
  "${common[@]}" 2>"$work/gateway.err" &
gateway_pid=$!
pids+=("$gateway_pid")
wait_for 30 grep -q "4 of 4 rows passed" "$work/gateway.err" ||
  fail "the upstreams did not all pass: $(cat "$work/gateway.err")"
http_port=$(sed -n 's/.*HTTP proxy listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/gateway.err")
socks_port=$(sed -n 's/.*SOCKS5 proxy listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/gateway.err")
[ -n "$http_port" ] && [ -n "$socks_port" ] || fail "no ports in $(cat "$work/gateway.err")"

# fetch WHAT: the origin's page through the gateway, one way or another.
fetch() {
  local got
  case $1 in
    http) got=$(curl -sS -m 10 -x "http://127.0.0.1:$http_port" "$origin" 2>&1) ;;
    tunnel) got=$(curl -sS -m 10 -p -x "http://127.0.0.1:$http_port" "$origin" 2>&1) ;;
    socks) got=$(curl -sS -m 10 --socks5-hostname "127.0.0.1:$socks_port" \
      "http://localhost:$origin_port/" 2>&1) ;;
  esac
  [ "$got" = "the page" ] || fail "$1 through the gateway: '$got'; $(cat "$work/gateway.err")"
}
every_way() { fetch http; fetch tunnel; fetch socks; }

every_way
# The upstreams die one after the other; the last one, Dante, carries everything in the end.
for victim in "$tinyproxy_pid" "$microsocks_pid" "$squid_pid"; do
  end_children "$victim"
  every_way
  every_way
done
grep -q "upstream down" "$work/gateway.err" || fail "no upstream was seen down"

# A real browser loads the page through the gateway.
chromium=$(command -v chromium || true)
if [ -n "$chromium" ]; then
  HOME="$work" timeout 90 "$chromium" --headless=new --no-sandbox --disable-gpu \
    --user-data-dir="$work/chromium" --proxy-server="http://127.0.0.1:$http_port" \
    --proxy-bypass-list="<-loopback>" --dump-dom "$origin" >"$work/dom" 2>"$work/chromium.err"
  grep -q "the page" "$work/dom" || fail "chromium did not show the page: $(cat "$work/dom")"
else
  echo "chromium is not installed: the browser part is skipped"
fi

kill -TERM "$gateway_pid"
wait "$gateway_pid"
[ $? = 0 ] || fail "the gateway did not end with 0 on SIGTERM"
grep -q "stopped" "$work/gateway.err" || fail "no stop line in $(cat "$work/gateway.err")"
echo "PASS"
