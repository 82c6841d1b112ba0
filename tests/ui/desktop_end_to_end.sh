#!/usr/bin/env bash
# The real program on a virtual X server with a tray host: the window appears, the tray icon is
# docked, and a terminating signal ends it with status 0 after saving the list file; a second run
# saves the list when the display goes away under it.
# Usage: desktop_end_to_end.sh PATH_TO_LUMVEXIP
. "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"
set -uo pipefail

program=${1:?path to lumvexip expected}
for tool in Xvfb trayer xwininfo iconv; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (see scripts/install-deps.sh)"
    exit 77
  fi
done

work=$(mktemp -d)
# The exit sequence switches the system proxy off: the program gets a GSettings store of its own
# and never touches the desktop's.
export GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=$work/config
unset XDG_CURRENT_DESKTOP
xvfb_pid="" trayer_pid="" app_pid=""
cleanup() {
  end_children $app_pid $trayer_pid $xvfb_pid
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log"; exit 1; }

# Polls a command every 0.1 s for at most $1 seconds.

start_xvfb "$work/xvfb.log" -screen 0 1024x768x24 -nolisten tcp || fail "Xvfb did not start"

trayer --edge top --align right --widthtype pixel --width 120 --height 24 \
  >"$work/trayer.log" 2>&1 &
trayer_pid=$!
panel_id() { xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ {print $1; exit}'; }
panel_found() { [ -n "$(panel_id)" ]; }
wait_for 10 panel_found || fail "the tray host did not start"

# The list file in GBK, as the program writes it: two rows, CR LF between them, none at the end.
mkdir -p "$work/data"
printf '1.2.3.4 | 8080 | HTTP | 0.5 | 北京 | 1天\r\n5.6.7.8 | 3128 | 失败 |  | 上海 | 2天' |
  iconv -f UTF-8 -t GBK >"$work/data/The agent"
cp "$work/data/The agent" "$work/agent.before"
# The list file is dated far back, so a recent date afterwards shows that the list was written.
date_back() { touch -d "2001-01-01 00:00:00" "$work/data/The agent"; }
was_written() { [ "$(stat -c %Y "$work/data/The agent")" -gt 978307200 ]; }
date_back

XDG_RUNTIME_DIR=$work "$program" --data-dir "$work/data" >"$work/app.log" 2>&1 &
app_pid=$!

window_shown() { xwininfo -root -tree 2>/dev/null | grep -q '"LumvexIP代理验证 V1.3"'; }
wait_for 30 window_shown || fail "the main window did not appear"
tray_docked() { xwininfo -tree -id "$(panel_id)" 2>/dev/null | grep -q '"lumvexip"'; }
wait_for 30 tray_docked || fail "no tray icon was docked in the tray host"

kill -TERM "$app_pid"
# A bounded wait: a program that does not end is killed and reported.
(for _ in $(seq 300); do sleep 0.1; done; kill -KILL "$app_pid" 2>/dev/null) &
watchdog=$!
wait "$app_pid"
status=$?
kill "$watchdog" 2>/dev/null
wait "$watchdog" 2>/dev/null
app_pid=""
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
[ -f "$work/data/The agent" ] || fail "the list file is gone"
cmp -s "$work/agent.before" "$work/data/The agent" || fail "the list file changed: $(od -c "$work/data/The agent" | head -5)"
was_written || fail "SIGTERM ended the program without saving the list"

# The window's size, place and column widths are kept at exit, and a kept layout comes back.
grep -q $'^geometry=50,50,725,506\r$' "$work/data/window" ||
  fail "the default layout was not kept: $(cat -A "$work/data/window" 2>&1)"
grep -q $'^columns=[0-9,]*\r$' "$work/data/window" || fail "no column widths kept"
printf '[window]\r\ngeometry=30,40,800,560\r\ncolumns=120,50,70,60,160,64,60,50\r\n' \
  >"$work/data/window"
cp "$work/data/window" "$work/window.before"
# timeout hands SIGTERM on to the program and bounds a run that would not end.
XDG_RUNTIME_DIR=$work timeout -k 5 60 "$program" --data-dir "$work/data" >"$work/app.log" 2>&1 &
app_pid=$!
window_info() { xwininfo -name "LumvexIP代理验证 V1.3" 2>/dev/null; }
laid_out() {
  window_info | grep -q 'Absolute upper-left X:  *30$' &&
    window_info | grep -q 'Absolute upper-left Y:  *40$' &&
    window_info | grep -q 'Width: 800$' && window_info | grep -q 'Height: 560$'
}
wait_for 30 laid_out || fail "the kept layout did not come back: $(window_info)"
kill -TERM "$app_pid"
wait "$app_pid"
app_pid=""
cmp -s "$work/window.before" "$work/data/window" ||
  fail "the layout changed on its way through: $(cat -A "$work/data/window")"

# The display going away (a session that ends without a signal) must not lose the list either:
# Qt ends the program from inside its event loop then.
date_back
# timeout bounds the run: a program that does not end is killed and the checks below fail.
XDG_RUNTIME_DIR=$work timeout -k 5 60 "$program" --data-dir "$work/data" >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 30 window_shown || fail "the main window did not appear the second time"
end_children $trayer_pid $xvfb_pid
trayer_pid="" xvfb_pid=""
wait "$app_pid"
app_pid=""
[ -f "$work/data/The agent" ] || fail "the list file is gone after the display went away"
cmp -s "$work/agent.before" "$work/data/The agent" || fail "the list file changed when the display went away"
was_written || fail "the display went away and the list was not saved"
echo "3 passed, 0 failed: window shown, tray icon docked, SIGTERM saved the list and exited 0; the window's layout was kept and came back; the list was saved when the display went away"
