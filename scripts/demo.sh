#!/usr/bin/env bash
# The whole harvest -> check -> switch path without a network: three proxy-list sites (source C
# also serves a plain-text list for the import from a web address), a small proxy farm, a judge
# with relaying proxies of each anonymity level, and the update manifest servers on loopback, every endpoint of the program pointed at them, and a
# private system-proxy store (GSETTINGS_BACKEND=keyfile under a temporary XDG_CONFIG_HOME), so the
# desktop's own proxy setting is never touched. Everything started here is stopped on exit.
# Usage: scripts/demo.sh [BUILD_DIR] [program arguments...]  (start.sh --demo calls it)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build}"
shift || true
program="$build/src/ui/lumvexip"
sites_bin="$build/tools/lumvex_proxy_sites"
farm_bin="$build/tools/lumvex_proxy_farm"
update_bin="$build/tools/lumvex_update_servers"
for bin in "$program" "$sites_bin" "$farm_bin" "$update_bin"; do
  [ -x "$bin" ] || { echo "demo: $bin is missing; build it first" >&2; exit 1; }
done

# LUMVEX_DEMO_DIR keeps the demo's files (list, settings, proxy store, server logs) there;
# otherwise a temporary directory is used and removed at the end.
if [ -n "${LUMVEX_DEMO_DIR:-}" ]; then
  demo_dir="$LUMVEX_DEMO_DIR"
  mkdir -p "$demo_dir"
  remove_dir=0
else
  demo_dir="$(mktemp -d "${TMPDIR:-/tmp}/lumvexip-demo.XXXXXX")"
  remove_dir=1
fi
pids=()
cleanup() {
  local pid stat parent
  # Only processes still ours: the number of one that ended may already name another process.
  for pid in "${pids[@]}"; do
    { read -r stat <"/proc/$pid/stat"; } 2>/dev/null || continue
    read -r _ parent _ <<<"${stat##*) }"
    [ "$parent" = "$$" ] && kill "$pid" 2>/dev/null
  done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$remove_dir" = 1 ]; then rm -rf "$demo_dir"; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits until FILE exists and is not empty (the servers write it once they listen).
wait_for_file() {
  local file="$1" tries=0
  until [ -s "$file" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then echo "demo: $2 did not start" >&2; exit 1; fi
    sleep 0.1
  done
}

# Six proxies on 127.0.0.20-25 that answer every request themselves ("demo ok"), as fake proxies
# do; six on 127.0.0.30-35 that relay it to the host it names, two of each anonymity level
# (transparent, anonymous, elite cycled), their onward connections coming from 127.0.0.2 so that
# the judge tells them from the program's own address (127.0.0.1). The sites list them all among
# dead loopback addresses.
rm -f "$demo_dir/farm.txt" "$demo_dir/relaying.txt" "$demo_dir/proxies.txt" \
  "$demo_dir/sites.txt" "$demo_dir/requests.log" "$demo_dir/update.txt" "$demo_dir/judge.txt"
"$farm_bin" --count 6 --behaviour answer --body "demo ok" --first-index 20 --max-seconds 86400 \
  --out "$demo_dir/farm.txt" >"$demo_dir/farm.log" 2>&1 &
pids+=($!)
wait_for_file "$demo_dir/farm.txt" "the proxy farm"
"$farm_bin" --count 6 --anonymity mixed --outgoing 127.0.0.2 --first-index 30 \
  --max-seconds 86400 --out "$demo_dir/relaying.txt" >"$demo_dir/relaying.log" 2>&1 &
pids+=($!)
wait_for_file "$demo_dir/relaying.txt" "the relaying proxies"
cat "$demo_dir/farm.txt" "$demo_dir/relaying.txt" >"$demo_dir/proxies.txt"
# The judge the settings name as "匿名检测网址": "验证代理IP" fetches it through each proxy and
# fills "匿名度" from what the proxy passed on.
"$program" judge --listen 127.0.0.1:0 >"$demo_dir/judge.txt" 2>"$demo_dir/judge.log" &
pids+=($!)
wait_for_file "$demo_dir/judge.txt" "the judge"
judge_url="$(sed -n 's/^judge listening on //p' "$demo_dir/judge.txt")"
[ -n "$judge_url" ] || { echo "demo: the judge gave no address" >&2; exit 1; }
"$sites_bin" --proxies "$demo_dir/proxies.txt" --max-seconds 86400 --out "$demo_dir/sites.txt" \
  --log "$demo_dir/requests.log" >"$demo_dir/sites.log" 2>&1 &
pids+=($!)
wait_for_file "$demo_dir/sites.txt" "the proxy-list sites"
host_a="$(sed -n 's/^a=//p' "$demo_dir/sites.txt")"
host_b="$(sed -n 's/^b=//p' "$demo_dir/sites.txt")"
host_c="$(sed -n 's/^c=//p' "$demo_dir/sites.txt")"
# "软件更新" reads a manifest page on loopback that names the running version, so it answers
# "检测完毕，暂无新的版本！" (lumvex_update_servers --help tells how to try a download).
"$update_bin" --manifest same-version --max-seconds 86400 >"$demo_dir/update.txt" 2>&1 &
pids+=($!)
wait_for_file "$demo_dir/update.txt" "the update servers"
manifest_url="$(sed -n 's/^manifest //p' "$demo_dir/update.txt")"
[ -n "$manifest_url" ] || { echo "demo: the update servers gave no address" >&2; exit 1; }

mkdir -p "$demo_dir/config" "$demo_dir/data"
# "从网址导入代理IP(&U)" offers the address used last: here source C's plain-text list.
printf '[list url]\r\nlist url=http://%s/http.txt\r\n' "$host_c" >"$demo_dir/data/list url"
# "设置" > "严格验证" > "匿名检测网址", as the settings dialog writes it.
printf '[strict]\r\njudge=%s\r\n' "$judge_url" >"$demo_dir/data/strict"
export XDG_CONFIG_HOME="$demo_dir/config"
export GSETTINGS_BACKEND=keyfile
export LUMVEX_DEMO_NOTE="【演示：回环网站，私有代理设置】"
echo "demo: sources A/B/C at $host_a $host_b $host_c"
echo "demo: answering by themselves: $(tr '\n' ' ' <"$demo_dir/farm.txt")"
echo "demo: relaying (transparent, anonymous, elite): $(tr '\n' ' ' <"$demo_dir/relaying.txt")"
echo "demo: judge (匿名检测网址) at $judge_url"
echo "demo: data in $demo_dir/data, system-proxy store in $XDG_CONFIG_HOME (keyfile)"
echo "demo: update manifest at $manifest_url; plain-text list at http://$host_c/http.txt"
status=0
"$program" --data-dir "$demo_dir/data" --source-a "http://$host_a" --source-b "http://$host_b" \
  --source-c "http://$host_c" --validation-host "http://check.demo.invalid" \
  --connectivity-host "http://www.demo.invalid" --manifest-url "$manifest_url" \
  "$@" || status=$?
exit "$status"
