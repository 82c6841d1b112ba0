#!/usr/bin/env bash
# `lumvexip check --json` against real proxy software from Debian on loopback ports: squid and
# tinyproxy relaying a page pass; squid denying by its rules (403), tinyproxy wanting a login
# (407) and both when they cannot reach the site (5xx) fail.
# Usage: real_proxy_check_test.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_FIXTURE_SERVER
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

start squid-open squid-open.conf "$squid" -N -f @CONF@
start squid-deny squid-deny.conf "$squid" -N -f @CONF@
start tinyproxy-open tinyproxy-open.conf "$tinyproxy" -d -c @CONF@
start tinyproxy-auth tinyproxy-auth.conf "$tinyproxy" -d -c @CONF@

# check URL NAME=VERDICT:STATUS...: one run over the named proxies; STATUS "5xx" is any 5xx.
check() {
  local url=$1
  shift
  local list="" expected name verdict status line
  for expected in "$@"; do list+="${address[${expected%%=*}]}"$'\r\n'; done
  printf "%s" "$list" | "$program" check - --json --check-url "$url" --check-timeout 20 \
    --data-dir "$work/data" \
    >"$work/out" 2>"$work/err" || fail "check exited with $?: $(cat "$work/err")"
  for expected in "$@"; do
    name=${expected%%=*}
    verdict=${expected#*=}
    status=${verdict#*:}
    verdict=${verdict%%:*}
    line=$(grep -F "\"address\":\"${address[$name]}\"" "$work/out") || fail "$name: no line"
    [[ $line == *"\"verdict\":\"$verdict\""* ]] || fail "$name: expected $verdict: $line"
    if [ "$status" = 5xx ]; then
      [[ $line =~ \"status\":5[0-9][0-9], ]] || fail "$name: expected a 5xx status: $line"
    else
      [[ $line == *"\"status\":$status,"* ]] || fail "$name: expected status $status: $line"
    fi
  done
}

check "http://127.0.0.1:$origin_port/?s=1234" \
  squid-open=ok:200 squid-deny=failed:403 tinyproxy-open=ok:200 tinyproxy-auth=failed:407

# The site is down: the proxies answer with their own error pages.
dead_port=$(free_port)
check "http://127.0.0.1:$dead_port/" squid-open=failed:5xx tinyproxy-open=failed:5xx
echo "PASS"
