#!/usr/bin/env bash
# The whole online update of the real program on a virtual X server, against the loopback
# manifest page and download server: the new-version notice at start, the update window, the
# download with its progress, and the restart into the downloaded file, which the old program
# leaves to after saving its list.
# Usage: update_end_to_end.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_UPDATE_SERVERS
. "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"
set -uo pipefail

program=${1:?path to lumvexip expected}
servers=${2:?path to lumvex_update_servers expected}
for tool in Xvfb trayer xwininfo xdotool iconv cmp; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (see scripts/install-deps.sh)"
    exit 77
  fi
done

work=$(mktemp -d)
export GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
unset XDG_CURRENT_DESKTOP
xvfb_pid="" trayer_pid="" servers_pid="" app_pid="" new_pid=""
cleanup() {
  # The new version is not a child of this script: ended only while its number is still its own.
  [ -n "$new_pid" ] && tr '\0' ' ' <"/proc/$new_pid/cmdline" 2>/dev/null |
    grep -q -- "--data-dir $work/data" && kill "$new_pid" 2>/dev/null
  end_children $app_pid $servers_pid $trayer_pid $xvfb_pid
  # The new version is not a child of this script: wait for it by its /proc entry.
  [ -n "$new_pid" ] && for _ in $(seq 50); do [ -e "/proc/$new_pid" ] || break; sleep 0.1; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in app servers; do [ -f "$work/$log.log" ] && sed "s/^/  $log: /" "$work/$log.log"; done
  exit 1
}


start_xvfb "$work/xvfb.log" -screen 0 1024x768x24 -nolisten tcp || fail "Xvfb did not start"
trayer --edge top --align right --widthtype pixel --width 120 --height 24 \
  >"$work/trayer.log" 2>&1 &
trayer_pid=$!

# The program runs from a directory of its own; the new version is saved in the data directory's
# updates folder.
mkdir -p "$work/run" "$work/data"
cp "$program" "$work/run/lumvexip"
printf '1.2.3.4 | 8080 | HTTP | 0.5 | 北京 | 1天\r\n5.6.7.8 | 3128 | 成功 | 1.2 | 上海 | 2天' |
  iconv -f UTF-8 -t GBK >"$work/data/The agent"
touch -d "2001-01-01 00:00:00" "$work/data/The agent"
was_written() { [ "$(stat -c %Y "$work/data/The agent")" -gt 978307200 ]; }

# The new version is the program itself, sent at 8 MB/s so that the progress shows for a while;
# the manifest carries its SHA-256, which the download must match.
"$servers" --download-file "$work/run/lumvexip" --rate 8000000 --max-seconds 300 \
  --sha256 "$(sha256sum "$work/run/lumvexip" | cut -c1-64)" \
  >"$work/servers.log" 2>&1 &
servers_pid=$!
manifest_ready() { grep -q '^manifest ' "$work/servers.log" 2>/dev/null; }
wait_for 10 manifest_ready || fail "the update servers did not start"
manifest_url=$(awk '/^manifest / {print $2}' "$work/servers.log")

(cd "$work/run" && exec ./lumvexip --data-dir "$work/data" --manifest-url "$manifest_url") \
  >"$work/app.log" 2>&1 &
app_pid=$!

# Message boxes carry the program's name as their title; the main window has the version too.
box_id() { xdotool search --name '^LumvexIP代理验证$' 2>/dev/null | head -1; }
box_shown() { [ -n "$(box_id)" ]; }
answer_box() {
  local id
  id=$(box_id)
  xdotool mousemove --window "$id" 20 20 sleep 0.3 key Return
}
wait_for 30 box_shown || fail "no new-version notice at start"
answer_box  # OK: open the update window

upgrade_id() { xdotool search --name '^upgrade$' 2>/dev/null | head -1; }
upgrade_shown() { [ -n "$(upgrade_id)" ]; }
wait_for 20 upgrade_shown || fail "the update window did not open"

# The download goes into a folder of its own in the data directory, never beside the program.
new_file="$work/data/updates/LumvexIP代理验证 V1.4"
downloading() { ls -a "$work/data/updates" 2>/dev/null | grep -q 'download-' || [ -e "$new_file" ]; }
# "立即更新" sits at the left of the window's bottom row; it becomes usable once the window's
# own copy of the manifest has arrived, so the click is repeated until the download begins.
started=no
for _ in 1 2 3 4 5; do
  id=$(upgrade_id)
  height=$(xwininfo -id "$id" | awk '/Height:/ {print $2}')
  xdotool mousemove --window "$id" 50 $((height - 24)) mousedown 1 sleep 0.2 mouseup 1
  if wait_for 3 downloading; then started=yes; break; fi
done
[ "$started" = yes ] || fail "立即更新 did not start the download"

file_whole() { [ -e "$new_file" ]; }
wait_for 60 file_whole || fail "the new version was not saved"
cmp -s "$new_file" "$work/run/lumvexip" || fail "the saved file differs from the one served"
[ -x "$new_file" ] || fail "the saved file cannot be run"
if ls -a "$work/data/updates" | grep -q 'download-'; then fail "a temporary download file was left"; fi
[ "$(ls -A "$work/run")" = lumvexip ] || fail "the download wrote beside the program"

wait_for 20 box_shown || fail "no question after the download"
answer_box  # Yes: start the new version

old_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 20 old_ended || fail "the old program did not end"
wait "$app_pid"
status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the old program ended with status $status"
was_written || fail "the old program did not save its list"

find_new() {
  local p
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/exe" 2>/dev/null)" = "$new_file" ]; then
      new_pid=${p#/proc/}
      return 0
    fi
  done
  return 1
}
wait_for 20 find_new || fail "the new version was not started"
# The new version starts the same way (same data directory and manifest) and announces V1.4.
wait_for 30 box_shown || fail "the new version did not come up"
tr '\0' ' ' <"/proc/$new_pid/cmdline" | grep -q -- "--data-dir $work/data" ||
  fail "the new version did not get the data directory"
echo "PASS"
