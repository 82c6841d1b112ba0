#!/usr/bin/env bash
# `lumvexip proxy guard` against loopback farm proxies and a GSettings keyfile store of its own:
# one line per switch, SIGTERM and SIGINT switch off and exit 0, the "proxy on" marker while on,
# off with exit 1 when every proxy has died; `lumvexip proxy set` leaves no marker.
# Usage: proxy_guard_command_test.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_PROXY_FARM
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/children.sh"

program=${1:?path to lumvexip expected}
farm=${2:?path to lumvex_proxy_farm expected}
if ! command -v gsettings >/dev/null; then
  echo "SKIP: gsettings is not installed"
  exit 77
fi

work=$(mktemp -d)
export GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=$work/config
unset XDG_CURRENT_DESKTOP DBUS_SESSION_BUS_ADDRESS
data=$work/data
farm_pid="" guard_pid=""
cleanup() {
  end_children $guard_pid $farm_pid
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; [ -f "$work/err" ] && sed 's/^/  stderr: /' "$work/err"; exit 1; }
mode() { gsettings get org.gnome.system.proxy mode; }
marker_present() { [ -e "$data/proxy on" ]; }
has_lines() { [ "$(wc -l <"$work/out")" -ge "$1" ]; }

start_guard() {  # start_guard LIST: the guard in the background, checking every 0.2 s
  : >"$work/out"  # emptied here: the background redirection may come late
  "$program" proxy guard "$1" --interval 0.2 --check-timeout 2 --data-dir "$data" \
    --connectivity-host connect.test >"$work/out" 2>"$work/err" &
  guard_pid=$!
}
end_guard_with() {  # end_guard_with SIGNAL: the guard must switch off and exit 0
  kill -"$1" "$guard_pid"
  wait "$guard_pid"
  local status=$?
  guard_pid=""
  [ "$status" = 0 ] || fail "$1: exit status $status, expected 0"
  [ "$(tail -1 "$work/out")" = "off" ] || fail "$1: last line is not off: $(cat "$work/out")"
  [ "$(mode)" = "'none'" ] || fail "$1: store mode $(mode) after the guard ended"
  marker_present && fail "$1: the marker is still there"
  return 0
}

"$farm" --count 2 --behaviour answer --out "$work/list" --max-seconds 110 >"$work/farm.log" 2>&1 &
farm_pid=$!
wait_for 10 test -s "$work/list" || fail "the proxy farm did not start"
first=$(head -1 "$work/list" | tr -d '\r')
second=$(sed -n 2p "$work/list" | tr -d '\r')

# A proxy set from the command line is the user's choice: on, and no marker.
"$program" proxy set 1.2.3.4:8080 --data-dir "$data" >/dev/null || fail "proxy set failed"
[ "$(mode)" = "'manual'" ] || fail "proxy set did not switch the store on"
marker_present && fail "proxy set left a marker"
"$program" proxy off --data-dir "$data" >/dev/null

# Bad usage.
"$program" proxy guard "$work/list" --interval zero >/dev/null 2>&1
[ $? = 2 ] || fail "a bad --interval is not exit status 2"
"$program" proxy guard --help </dev/null >"$work/out" 2>/dev/null
[ $? = 0 ] && grep -q '^Usage: ' "$work/out" || fail "--help does not print the usage"
printf 'not a proxy\r\n' >"$work/empty"
"$program" proxy guard "$work/empty" >/dev/null 2>&1
[ $? = 2 ] || fail "a list without an address is not exit status 2"

# SIGTERM and SIGINT while guarding.
for signal in TERM INT; do
  start_guard "$work/list"
  wait_for 20 has_lines 1 || fail "$signal: no line from the guard"
  [ "$(head -1 "$work/out")" = "on $first" ] || fail "$signal: first line $(head -1 "$work/out")"
  [ "$(mode)" = "'manual'" ] || fail "$signal: the store is not on"
  marker_present || fail "$signal: no marker while the guard has the proxy on"
  sleep 0.5  # a few re-checks pass
  [ "$(wc -l <"$work/out")" = 1 ] || fail "$signal: a switch although the proxy answers"
  end_guard_with "$signal"
done

# kill -9 leaves the proxy and the marker behind (the next window start switches it off).
start_guard "$work/list"
wait_for 20 has_lines 1 || fail "kill -9: no line from the guard"
kill -9 "$guard_pid"; wait "$guard_pid" 2>/dev/null; guard_pid=""
marker_present || fail "kill -9: the marker is gone"
[ "$(mode)" = "'manual'" ] || fail "kill -9: the store is not on"
# The next guard takes that proxy over: with nothing of its list passing, it switches it off.
printf '127.0.0.1:9\r\n' >"$work/dead"
"$program" proxy guard "$work/dead" --check-timeout 2 --data-dir "$data" \
  --connectivity-host connect.test >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 1 ] || fail "leftover: exit status $status, expected 1"
[ "$(cat "$work/out")" = "off" ] || fail "leftover: output $(cat "$work/out")"
[ "$(mode)" = "'none'" ] || fail "leftover: store mode $(mode)"
marker_present && fail "leftover: the marker is still there"

# Every proxy dies: off, exit status 1.
start_guard "$work/list"
wait_for 20 has_lines 1 || fail "dying farm: no line from the guard"
kill "$farm_pid"; wait "$farm_pid" 2>/dev/null; farm_pid=""
wait "$guard_pid"
status=$?
guard_pid=""
[ "$status" = 1 ] || fail "dying farm: exit status $status, expected 1"
[ "$(cat "$work/out")" = "$(printf 'on %s\noff' "$first")" ] ||
  fail "dying farm: output $(cat "$work/out")"
[ "$(mode)" = "'none'" ] || fail "dying farm: store mode $(mode)"
marker_present && fail "dying farm: the marker is still there"
echo "PASS (proxies $first $second)"
