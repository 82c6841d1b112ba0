#!/usr/bin/env bash
# `lumvexip check --protocol auto` against real proxy software from Debian on loopback ports:
# microsocks speaks SOCKS5, Dante SOCKS4 and SOCKS5, tinyproxy HTTP with CONNECT tunnels (or, told
# to tunnel to port 443 only, without them). Rows written with a SOCKS scheme are checked through
# it without --protocol.
# Usage: real_protocol_check_test.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_FIXTURE_SERVER
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"

program=${1:?path to lumvexip expected}
server=${2:?path to lumvex_fixture_server expected}
configs=$(cd "$(dirname "$0")/real_proxies" && pwd)
microsocks=$(command -v microsocks || echo /usr/bin/microsocks)
danted=$(command -v danted || echo /usr/sbin/danted)
tinyproxy=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
if [ ! -x "$microsocks" ] || [ ! -x "$danted" ] || [ ! -x "$tinyproxy" ]; then
  echo "SKIP: microsocks, dante-server or tinyproxy is not installed"
  exit 77
fi

work=$(mktemp -d)
. "$(cd "$(dirname "$0")/../support" && pwd)/real_servers.sh"

start microsocks - "$microsocks" -i 127.0.0.1 -p @PORT@
start dante dante.conf "$danted" -f @CONF@ -p "$work/dante.pid"
start tinyproxy tinyproxy-open.conf "$tinyproxy" -d -c @CONF@
start tinyproxy-noconnect tinyproxy-noconnect.conf "$tinyproxy" -d -c @CONF@

# check ARGS... -- LINE=EXPECTED...: one run over the lines; EXPECTED is the tab-separated rest
# of the line after the seconds are dropped.
check() {
  local args=() list="" expected line want got
  while [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  for expected in "$@"; do list+="${expected%%=*}"$'\n'; done
  printf "%s" "$list" | "$program" check - "${args[@]}" --check-url "http://127.0.0.1:$origin_port/" \
    --check-timeout 10 --data-dir "$work/data" \
    >"$work/out" 2>"$work/err" || fail "check exited with $?: $(cat "$work/err")"
  for expected in "$@"; do
    line=$(awk -F'\t' -v a="${expected%%=*}" '$1 == a' "$work/out")
    [ -n "$line" ] || fail "${expected%%=*}: no line in $(cat "$work/out")"
    got=$(cut -f"${fields:-2,4}" <<<"$line")
    want=${expected#*=}
    [ "$got" = "$want" ] || fail "${expected%%=*}: expected '$want', got '$got'"
  done
}

tab=$'\t'
check --protocol auto -- \
  "${address[microsocks]}=ok${tab}socks5" \
  "${address[dante]}=ok${tab}socks4,socks5" \
  "${address[tinyproxy]}=ok${tab}http,connect" \
  "${address[tinyproxy-noconnect]}=ok${tab}http"
check -- \
  "socks5://${address[microsocks]}=ok" \
  "socks4://${address[dante]}=ok" \
  "socks5h://${address[dante]}=ok" \
  "${address[microsocks]}=failed"
# Why a protocol failed: an HTTP proxy never answers a SOCKS greeting (the probe gives up after its
# short handshake deadline), a SOCKS server says nothing an HTTP client can read, and a tunnel to
# a port tinyproxy refuses is its own 403.
fields=2,4,5 check --protocol socks5 --reasons -- \
  "${address[tinyproxy]}=failed${tab}-${tab}handshake failed" \
  "${address[microsocks]}=ok${tab}socks5${tab}-"
fields=2,4,5 check --protocol socks4 --reasons -- \
  "${address[tinyproxy]}=failed${tab}-${tab}handshake failed"
fields=2,4,5 check --protocol connect --reasons -- \
  "${address[tinyproxy-noconnect]}=failed${tab}-${tab}proxy said 403"
echo "PASS"
