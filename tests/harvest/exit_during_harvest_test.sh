#!/usr/bin/env bash
# The real program under Xvfb: a source-A harvest whose later pages never answer is running when
# the session ends; the program saves the rows it has and ends without waiting for the pages.
# Usage: exit_during_harvest_test.sh BUILD_DIR
set -euo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/harvest_press.sh"
build="$(cd "$1" && pwd)"
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "no Xvfb/xdotool"; exit 77; }

work="$(mktemp -d)"
start_xvfb /dev/null -screen 0 1280x800x24 || { echo "FAIL: Xvfb did not start"; exit 1; }
xvfb=$xvfb_pid
sites=""
trap 'end_children $xvfb $sites; rm -rf "$work"' EXIT

stalls=()
for page in 2 3 4 5 6 7; do stalls+=(--stall "/proxy_ip.html?id=101&pageid=$page"); done
"$build/tools/lumvex_proxy_sites" --max-seconds 300 --out "$work/sites.txt" \
  --log "$work/requests.log" "${stalls[@]}" >/dev/null 2>&1 &
sites=$!
for _ in $(seq 100); do [ -s "$work/sites.txt" ] && break; sleep 0.1; done
host_a="$(sed -n 's/^a=//p' "$work/sites.txt")"
[ -n "$host_a" ] || { echo "FAIL: the sites did not start"; exit 1; }

mkdir -p "$work/data" "$work/config"
printf '500' >"$work/data/agent number"
XDG_CONFIG_HOME="$work/config" GSETTINGS_BACKEND=keyfile "$build/src/ui/lumvexip" \
  --data-dir "$work/data" --source-a "http://$host_a" --source-b "http://127.0.0.1:9" \
  --source-c "http://127.0.0.1:9" --manifest-url "http://$host_a/none" >"$work/log" 2>&1 &
program=$!
window=""
for _ in $(seq 300); do
  window="$(xdotool search --onlyvisible --name 'LumvexIP代理验证' 2>/dev/null | head -1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
xvfb_state() { own_child "$xvfb" && echo "Xvfb still runs" || echo "Xvfb has ended"; }
[ -n "$window" ] || { cat "$work/log"; echo "FAIL: no main window ($(xvfb_state))"; exit 1; }
press_harvest "$work/requests.log" "$window" || { echo "FAIL: the harvest did not start"; exit 1; }
# Pages 2..7 go out one a second and hang; once the last has gone out, page 1 (answered at once)
# has long been read.
requested "$work/requests.log" 300 "/proxy_ip.html?id=101&pageid=7" ||
  { echo "FAIL: page 7 was not asked for"; exit 1; }
kill -TERM "$program"
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then
  kill -KILL "$program"
  echo "FAIL: the program did not end"
  exit 1
fi
status=0
wait "$program" || status=$?
[ "$status" = 0 ] || { cat "$work/log"; echo "FAIL: exit status $status"; exit 1; }
[ -f "$work/data/The agent" ] || { cat "$work/log"; echo "FAIL: the list was not saved"; exit 1; }
lines="$(python3 -c "import sys; d=open(sys.argv[1],'rb').read(); print(d.count(b'\r\n') + 1 if d else 0)" "$work/data/The agent")"
[ "$lines" = 80 ] || { echo "FAIL: $lines rows saved, 80 expected"; exit 1; }
echo "PASS"
