#!/usr/bin/env bash
# The demo starts its loopback sites, proxies and judge, runs the program against them with a
# private proxy store and the judge set, and leaves nothing running once the program has ended.
# Usage: demo_test.sh BUILD_DIR
set -euo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/xvfb.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/harvest_press.sh"
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "no Xvfb/xdotool"; exit 77; }

work="$(mktemp -d)"
start_xvfb /dev/null -screen 0 1280x800x24 || { echo "FAIL: Xvfb did not start"; exit 1; }
xvfb=$xvfb_pid
trap 'end_children $xvfb; rm -rf "$work"' EXIT

# Four pages to a harvest (one a second), so the script can see the first one has been read.
mkdir -p "$work/demo/data"
printf '240' >"$work/demo/data/agent number"
LUMVEX_DEMO_DIR="$work/demo" bash "$repo/scripts/demo.sh" "$build" >"$work/demo.log" 2>&1 &
demo=$!
window=""
for _ in $(seq 200); do
  window="$(xdotool search --onlyvisible --name '演示' 2>/dev/null | head -1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { cat "$work/demo.log"; echo "FAIL: no demo window"; exit 1; }
title="$(xdotool getwindowname "$window")"
case "$title" in
  "LumvexIP代理验证 V1.3【演示"*) ;;
  *) echo "FAIL: title '$title'"; exit 1 ;;
esac
# The servers answer on the addresses the demo gave the program.
host_a="$(sed -n 's/^a=//p' "$work/demo/sites.txt")"
[ -n "$host_a" ] || { echo "FAIL: no site address"; exit 1; }
"$build/src/ui/lumvexip" harvest --source a --count 80 --source-a "http://$host_a" >"$work/rows.txt"
[ "$(wc -l <"$work/rows.txt")" -ge 80 ] || { echo "FAIL: few rows from the demo site"; exit 1; }
grep -q "127.0.0." "$work/rows.txt" || { echo "FAIL: demo rows are not the loopback farm"; exit 1; }

# The judge runs, the settings name it as "匿名检测网址", and through the relaying proxies it
# tells every anonymity level (two proxies of each).
judge_url="$(sed -n 's/^judge listening on //p' "$work/demo/judge.txt")"
grep -qF "judge=$judge_url" "$work/demo/data/strict" ||
  { echo "FAIL: the settings do not name the demo's judge '$judge_url'"; exit 1; }
levels="$("$build/src/ui/lumvexip" check --no-history --judge "$judge_url" <"$work/demo/relaying.txt" |
  cut -f2,4 | sort | tr '\t\n' ': ')"
[ "$levels" = "ok:anonymous ok:anonymous ok:elite ok:elite ok:transparent ok:transparent " ] ||
  { echo "FAIL: the relaying proxies through the judge: '$levels'"; exit 1; }

# Press "获取代理IP" until the harvest starts, let its first page be read, then end the program as
# a session end does; the demo stops its servers after it.
log="$work/demo/requests.log"
program="$(pgrep -f "lumvexip --data-dir $work/demo/data" | head -1)"
[ -n "$program" ] || { echo "FAIL: program not found"; exit 1; }

# Nothing the demo gives the program points off the machine: every address is on loopback, or a
# name under .invalid that only the farm's proxies answer for.
while read -r arg; do
  case "$arg" in
    http://127.0.0.1:* | http://*.invalid) ;;
    http*) echo "FAIL: the program was given $arg"; exit 1 ;;
  esac
done < <(tr '\0' '\n' <"/proc/$program/cmdline")
grep -qF -- "$(sed -n 's/^manifest //p' "$work/demo/update.txt")" "/proc/$program/cmdline" ||
  { echo "FAIL: 软件更新 does not ask the demo's update servers"; exit 1; }
updates="$(pgrep -P "$demo" -f lumvex_update_servers || true)"
[ -n "$updates" ] || { echo "FAIL: the update servers do not run"; exit 1; }
manifest="$(python3 -c "import sys, urllib.request
direct = urllib.request.build_opener(urllib.request.ProxyHandler({}))
print(direct.open(sys.argv[1], timeout=30).read().decode('gbk'))" \
  "$(sed -n 's/^manifest //p' "$work/demo/update.txt")")"
case "$manifest" in
  *"新版本：【LumvexIP代理验证 V1.3】新版本"*) ;;
  *) echo "FAIL: the demo's manifest does not name the running version"; exit 1 ;;
esac
# "从网址导入代理IP(&U)" offers source C's plain list, and that list is the farm's.
list_url="$(sed -n 's/^list url=\(.*\)\r$/\1/p' "$work/demo/data/list url")"
case "$list_url" in
  http://127.0.0.1:*/http.txt) ;;
  *) echo "FAIL: the import from a web address offers '$list_url'"; exit 1 ;;
esac
"$build/src/ui/lumvexip" harvest --url "$list_url" >"$work/listed.txt"
grep -qxF "$(head -1 "$work/demo/farm.txt")" "$work/listed.txt" ||
  { echo "FAIL: the plain list does not hold the farm's proxies"; exit 1; }
press_harvest "$log" "$window" || { echo "FAIL: the harvest did not start"; exit 1; }
# Pages go out one a second; by the time page 3 is asked for, page 1 has been read.
requested "$log" 300 "/proxy_ip.html?id=101&pageid=3" ||
  { echo "FAIL: page 3 was not asked for"; exit 1; }
kill -TERM "$program"
status=0
wait "$demo" || status=$?
[ "$status" = 0 ] || { cat "$work/demo.log"; echo "FAIL: demo ended with $status"; exit 1; }
for pid in $updates; do
  kill -0 "$pid" 2>/dev/null && { echo "FAIL: the update servers still run"; exit 1; }
done
if pgrep -f "$work/demo" >/dev/null; then
  pgrep -af "$work/demo"
  echo "FAIL: something of the demo still runs"
  exit 1
fi
[ -s "$work/demo/data/The agent" ] || { echo "FAIL: the harvested list was not saved"; exit 1; }
saved="$(python3 -c "import sys; print(open(sys.argv[1],'rb').read().count(b'\r\n') + 1)" \
  "$work/demo/data/The agent")"
[ "$saved" -ge 80 ] || { echo "FAIL: $saved rows saved, the first page has 80"; exit 1; }
grep -q "GSETTINGS_BACKEND=keyfile\|keyfile" "$work/demo.log" || { echo "FAIL: demo did not name its store"; exit 1; }
echo "PASS"
