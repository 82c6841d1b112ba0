#!/usr/bin/env bash
# "使用本地网关" in the real program on a virtual X server: two rows that passed, each a real
# tinyproxy on loopback; the item of the list's context menu starts the gateway and points the
# desktop at it (a GSettings keyfile store of the run's own). GLib's resolver, reading that
# setting as GTK programs do, names the gateway's ports; curl browses through them (plain http, a
# CONNECT tunnel, SOCKS5 with the name passed on). The tinyproxy in use is killed: the next
# requests still pass and its row turns 失败. 取消代理 switches the desktop off and closes the
# gateway's ports.
# Usage: gateway_end_to_end.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_FIXTURE_SERVER PATH_TO_PROXY_LOOKUP
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"

program=${1:?path to lumvexip expected}
server=${2:?path to lumvex_fixture_server expected}
lookup=${3:?path to lumvex_proxy_lookup expected}
configs=$(cd "$(dirname "$0")/../validate/real_proxies" && pwd)
tinyproxy=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
for tool in Xvfb trayer xwininfo xdotool gsettings iconv curl "$tinyproxy"; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (see scripts/install-deps.sh)"
    exit 77
  fi
done

work=$(mktemp -d)
. "$(cd "$(dirname "$0")/../support" && pwd)/real_servers.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
fail() {
  echo "FAIL: $*"
  [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"
  exit 1
}

export GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export XDG_CURRENT_DESKTOP=GNOME  # GLib's resolver reads the GNOME setting on GNOME only
unset DBUS_SESSION_BUS_ADDRESS
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

start first tinyproxy-open.conf "$tinyproxy" -d -c @CONF@
first_pid=${pids[-1]}
start second tinyproxy-open.conf "$tinyproxy" -d -c @CONF@
origin=127.0.0.1:$origin_port

mkdir -p "$work/data"
printf '%s | %s | 成功 | 0.1 | 本机 | 1天\r\n%s | %s | 成功 | 0.2 | 本机 | 1天' \
  "${address[first]%:*}" "${address[first]#*:}" "${address[second]%:*}" "${address[second]#*:}" |
  iconv -f UTF-8 -t GBK >"$work/data/The agent"

start_xvfb "$work/xvfb.log" -screen 0 1024x768x24 -nolisten tcp || fail "Xvfb did not start"
pids+=("$xvfb_pid")
trayer --edge top --align right --widthtype pixel --width 120 --height 24 >"$work/trayer.log" 2>&1 &
pids+=($!)
"$program" --data-dir "$work/data" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")

window_id() { xdotool search --name 'LumvexIP代理验证 V1.3' 2>/dev/null | head -1; }
window_shown() { [ -n "$(window_id)" ] && xwininfo -id "$(window_id)" 2>/dev/null | grep -q IsViewable; }
wait_for 30 window_shown || fail "the main window did not appear"

mode() { gsettings get org.gnome.system.proxy mode; }
mode_is() { [ "$(mode)" = "$1" ]; }
# The list's context menu on the first row, then an item by its accelerator.
context_item() {
  local id y
  id=$(window_id)
  for y in 70 72 68 74; do
    xdotool mousemove --window "$id" 40 "$y" click 1
    sleep 0.3
    xdotool mousemove --window "$id" 40 "$y" click 3
    sleep 0.6
    xdotool key "$1"
    if wait_for 5 mode_is "$2"; then return 0; fi
    xdotool key Escape
  done
  return 1
}
context_item g "'manual'" || fail "使用本地网关(&G) did not switch the desktop on: $(mode)"

http_port=$(gsettings get org.gnome.system.proxy.http port)
https_port=$(gsettings get org.gnome.system.proxy.https port)
socks_port=$(gsettings get org.gnome.system.proxy.socks port)
[ "$(gsettings get org.gnome.system.proxy.http host)" = "'127.0.0.1'" ] || fail "http host"
[ "$https_port" = "$http_port" ] || fail "https goes to $https_port, http to $http_port"
[ "$socks_port" != 0 ] && [ "$socks_port" != "$http_port" ] || fail "socks port $socks_port"
ports=$(iconv -f GBK -t UTF-8 "$work/data/gateway" | tr -d '\r' | grep -c "=$http_port$\|=$socks_port$")
[ "$ports" = 2 ] || fail "the ports are not kept in the data directory: $(cat "$work/data/gateway")"

# GLib's resolver (a name only: it sends loopback direct whatever the setting).
resolved=$("$lookup" http://site.invalid/ https://site.invalid/ ftp://site.invalid/)
expected="http://127.0.0.1:$http_port
http://127.0.0.1:$http_port
socks5://127.0.0.1:$socks_port socks4a://127.0.0.1:$socks_port socks4://127.0.0.1:$socks_port"
[ "$resolved" = "$expected" ] || fail "GLib's resolver says [$resolved], expected [$expected]"

page() { curl -s --max-time 20 "$@" "http://$origin/"; }
browse() {  # every way in once; prints what failed
  [ "$(page -x "http://127.0.0.1:$http_port")" = "the page" ] || echo "plain http"
  [ "$(page -p -x "http://127.0.0.1:$http_port")" = "the page" ] || echo "CONNECT tunnel"
  [ "$(page --socks5-hostname "127.0.0.1:$socks_port")" = "the page" ] || echo "SOCKS5"
}
failed=$(browse)
[ -z "$failed" ] || fail "through the gateway: $failed"

# The first row is the upstream in use (both score alike; the list's order decides).
kill "$first_pid"
wait "$first_pid" 2>/dev/null
for round in 1 2 3; do
  failed=$(browse)
  [ -z "$failed" ] || fail "after the upstream in use was killed, round $round: $failed"
done

# 取消代理(&Z): the desktop goes off and the gateway stops listening.
context_item z "'none'" || fail "取消代理(&Z) did not switch the desktop off: $(mode)"
port_closed() { ! port_in_use "$http_port" && ! port_in_use "$socks_port"; }
wait_for 10 port_closed || fail "the gateway still listens after 取消代理"

# On again, on the ports kept; then `lumvexip proxy off` from outside: the program sees the
# desktop changed under it and stops the gateway.
context_item g "'manual'" || fail "使用本地网关(&G) did not switch the desktop on again"
[ "$(gsettings get org.gnome.system.proxy.http port)" = "$http_port" ] || fail "another port the second time"
[ -z "$(browse)" ] || fail "through the gateway the second time: $(browse)"
"$program" proxy off --data-dir "$work/data" >"$work/off.log" 2>&1 || fail "proxy off: $(cat "$work/off.log")"
wait_for 15 port_closed || fail "the gateway still listens after proxy off"

kill -TERM "$app_pid"
wait_for 30 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "the program did not end on SIGTERM"
wait "$app_pid"
row_failed() { iconv -f GBK -t UTF-8 "$work/data/The agent" | grep -q "^${address[first]%:*} | ${address[first]#*:} | 失败"; }
row_failed || fail "the dead upstream's row is not 失败: $(iconv -f GBK -t UTF-8 "$work/data/The agent")"
echo "7 passed, 0 failed: switched on, ports kept, GLib's resolver, http/CONNECT/SOCKS5 through it, failover with the row failed, 取消代理 and proxy off close it"
