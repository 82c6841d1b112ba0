#!/usr/bin/env bash
# The proxy guard and the crash-safe switch-off in the real program on a virtual X server with a
# tray, against a GSettings keyfile store of the run's own and loopback farm proxies: the restored
# proxy dies; the guard passes a "失败" row, checks the "成功" row below it (dead as well) and goes
# round to the working "成功" row at the top; kill -9 leaves the "proxy on" marker; the next start
# switches the proxy off before anything else.
# Usage: guard_end_to_end.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_PROXY_FARM
. "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"
set -uo pipefail

program=${1:?path to lumvexip expected}
farm=${2:?path to lumvex_proxy_farm expected}
for tool in Xvfb trayer xwininfo xdotool gsettings iconv; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (see scripts/install-deps.sh)"
    exit 77
  fi
done

work=$(mktemp -d)
export GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
unset XDG_CURRENT_DESKTOP DBUS_SESSION_BUS_ADDRESS
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

xvfb_pid="" trayer_pid="" app_pid="" dying_pid="" steady_pid=""
cleanup() {
  end_children $app_pid $dying_pid $steady_pid $trayer_pid $xvfb_pid
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"; exit 1; }
store() {  # mode and http host:port
  echo "$(gsettings get org.gnome.system.proxy mode)" \
    "$(gsettings get org.gnome.system.proxy.http host):$(gsettings get org.gnome.system.proxy.http port)"
}
store_is() { [ "$(store)" = "$1" ]; }
expect_store() {  # expect_store SECONDS EXPECTED WHAT
  wait_for "$1" store_is "$2" || fail "$3: store is [$(store)], expected [$2]"
}
marker_present() { [ -e "$work/data/proxy on" ]; }

start_display() {
  start_xvfb "$work/xvfb.log" -screen 0 1024x768x24 -nolisten tcp || fail "Xvfb did not start"
  trayer --edge top --align right --widthtype pixel --width 120 --height 24 >"$work/trayer.log" 2>&1 &
  trayer_pid=$!
}
window_id() { xdotool search --name 'LumvexIP代理验证 V1.3' 2>/dev/null | head -1; }
window_shown() { [ -n "$(window_id)" ] && xwininfo -id "$(window_id)" 2>/dev/null | grep -q IsViewable; }
start_program() {
  "$program" --data-dir "$work/data" --guard-interval 1 --check-timeout 2 \
    --connectivity-host connect.test --manifest-url http://127.0.0.1:1/m \
    --source-a http://127.0.0.1:1 --source-b http://127.0.0.1:1 >"$work/app.log" 2>&1 &
  app_pid=$!
}

# One proxy that will die, two that stay (one of them marked "失败"), and one never there.
"$farm" --count 1 --first-index 0 --out "$work/dying" --max-seconds 170 >/dev/null 2>&1 &
dying_pid=$!
"$farm" --count 2 --first-index 1 --out "$work/steady" --max-seconds 170 >/dev/null 2>&1 &
steady_pid=$!
wait_for 10 test -s "$work/dying" || fail "the first farm did not start"
wait_for 10 test -s "$work/steady" || fail "the second farm did not start"
dying=$(head -1 "$work/dying" | tr -d '\r')
failed=$(head -1 "$work/steady" | tr -d '\r')
next=$(sed -n 2p "$work/steady" | tr -d '\r')
row() { echo "${1%:*} | ${1##*:} | $2 | 0.5 | $3 | 1天"; }

mkdir -p "$work/data"
never_there=127.0.0.1:1
printf '%s\r\n%s\r\n%s\r\n%s' "$(row "$next" 成功 广州)" "$(row "$dying" 成功 北京)" \
  "$(row "$failed" 失败 上海)" "$(row "$never_there" 成功 深圳)" |
  iconv -f UTF-8 -t GBK >"$work/data/The agent"
printf '[run]\r\nrun=yes\r\n[IE Agent]\r\nIE一=%s | 北京\r\n' "$dying" |
  iconv -f UTF-8 -t GBK >"$work/data/IE Agent"
printf '[guard]\r\nguard=yes\r\n' >"$work/data/guard"

start_display
start_program
wait_for 30 window_shown || fail "the main window did not appear"
expect_store 20 "'manual' '${dying%:*}':${dying##*:}" "restore at start with run = yes"
marker_present || fail "no marker while the restored proxy is on"

kill "$dying_pid"; wait "$dying_pid" 2>/dev/null; dying_pid=""
expect_store 30 "'manual' '${next%:*}':${next##*:}" "the guard after the proxy died"
# The store is switched before "IE Agent" is written: wait for the file as well.
saved_proxy() { iconv -f GBK -t UTF-8 "$work/data/IE Agent" | tr -d '\r' | grep '^IE一='; }
saved_is_next() { [ "$(saved_proxy)" = "IE一=$next | 广州" ]; }
wait_for 10 saved_is_next || fail "saved proxy is [$(saved_proxy)]"

kill -9 "$app_pid"; wait "$app_pid" 2>/dev/null; app_pid=""
marker_present || fail "kill -9 took the marker away"
expect_store 1 "'manual' '${next%:*}':${next##*:}" "after kill -9"

# The next start (run = no): the proxy goes off before anything else.
printf '[run]\r\nrun=no\r\n[IE Agent]\r\nIE一=%s | 广州\r\n' "$next" |
  iconv -f UTF-8 -t GBK >"$work/data/IE Agent"
start_program
expect_store 30 "'none' '${next%:*}':${next##*:}" "the start after kill -9"
wait_for 30 window_shown || fail "the main window did not appear after kill -9"
marker_present && fail "the marker is still there after the start switched off"
kill -TERM "$app_pid"
wait_for 30 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "the program did not end on SIGTERM"
wait "$app_pid"
app_pid=""
echo "4 passed, 0 failed: restored and marked, moved round to a working 成功 row when the" \
  "proxy died, marker kept by kill -9, proxy off at the next start"
