#!/usr/bin/env bash
# Proxies that want a login, run from Debian on loopback ports: tinyproxy with BasicAuth (HTTP
# and CONNECT) and microsocks with a SOCKS5 user and password. `check` passes with the right
# login and fails with a wrong one or none, prints each line as given, and never shows the
# password on standard error; `proxy guard` switches to such a row; `proxy set` asks the proxy
# for a CONNECT tunnel (not with --no-probe) and writes the login to the GSettings store.
# Usage: real_login_check_test.sh PATH_TO_LUMVEXIP PATH_TO_LUMVEX_FIXTURE_SERVER
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"

program=${1:?path to lumvexip expected}
server=${2:?path to lumvex_fixture_server expected}
configs=$(cd "$(dirname "$0")/real_proxies" && pwd)
microsocks=$(command -v microsocks || echo /usr/bin/microsocks)
tinyproxy=$(command -v tinyproxy || echo /usr/bin/tinyproxy)
if [ ! -x "$microsocks" ] || [ ! -x "$tinyproxy" ] || ! command -v gsettings >/dev/null; then
  echo "SKIP: microsocks, tinyproxy or gsettings is not installed"
  exit 77
fi

work=$(mktemp -d)
. "$(cd "$(dirname "$0")/../support" && pwd)/real_servers.sh"
export GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=$work/config HOME=$work
unset XDG_CURRENT_DESKTOP DBUS_SESSION_BUS_ADDRESS

start tinyproxy-auth tinyproxy-auth.conf "$tinyproxy" -d -c @CONF@
start microsocks-auth - "$microsocks" -i 127.0.0.1 -p @PORT@ -u sockuser -P sockpass
start tinyproxy-noconnect tinyproxy-noconnect.conf "$tinyproxy" -d -c @CONF@
http=${address[tinyproxy-auth]}
socks=${address[microsocks-auth]}
origin="http://127.0.0.1:$origin_port/"

# `check` over lines with right, wrong and no logins.
lines=("user:secret@$http" "user:wrong@$http" "$http" "socks5://sockuser:sockpass@$socks"
       "socks5://sockuser:nope@$socks" "socks5://$socks" "admin:8080@127.0.0.8:1"
       "-rf:80" "..:80" "_:80" "1.2.3.4.5:80" "999.999.999.999:80")
printf '%s\n' "${lines[@]}" |
  "$program" check - --check-url "$origin" --check-timeout 10 --data-dir "$work/data" \
    >"$work/out" 2>"$work/err" || fail "check exited with $?: $(cat "$work/err")"
verdict() { awk -F'\t' -v a="$1" '$1 == a { print $2 }' "$work/out"; }
for expected in "user:secret@$http=ok" "user:wrong@$http=failed" "$http=failed" \
                "socks5://sockuser:sockpass@$socks=ok" "socks5://sockuser:nope@$socks=failed" \
                "socks5://$socks=failed" "admin:8080@127.0.0.8:1=failed"; do
  got=$(verdict "${expected%=*}")
  [ "$got" = "${expected##*=}" ] || fail "${expected%=*}: expected ${expected##*=}, got '$got'"
done
[ "$(wc -l <"$work/out")" -eq 7 ] || fail "hosts that are not hosts gave rows: $(cat "$work/out")"
for number in 8 9 10 11 12; do
  grep -q "^line $number: not address:port, skipped$" "$work/err" || fail "line $number not named"
done
# Standard error in every case: a malformed line with a login, a guard's messages.
printf 'bob:hunter2@-rf:80\n' | "$program" check - --data-dir "$work/data" >/dev/null 2>>"$work/err"

# `proxy guard` takes the row with its login: the first passing proxy goes on, with the login
# in GNOME's keys; the SOCKS login is refused (GNOME keeps none) and named without its password.
printf '%s\n' "socks5://sockuser:sockpass@$socks" "user:wrong@$http" "user:secret@$http" |
  "$program" proxy guard - --connectivity-host "$origin" --check-timeout 10 --interval 60 \
    --data-dir "$work/data" >"$work/guard.out" 2>>"$work/err" &
guard=$!
pids+=($guard)
guard_on() { grep -q '^on ' "$work/guard.out"; }
wait_for 30 guard_on || fail "the guard switched nothing on: $(cat "$work/guard.out")"
[ "$(head -1 "$work/guard.out")" = "on user:secret@$http" ] || fail "guard: $(cat "$work/guard.out")"
gs() { gsettings get org.gnome.system.proxy.http "$1"; }
[ "$(gs authentication-user) $(gs authentication-password) $(gs use-authentication)" = \
  "'user' 'secret' true" ] || fail "guard's login: $(gs authentication-user) $(gs use-authentication)"
# It tunnels too (tinyproxy allows CONNECT to any port): https carries the proxy as well.
[ "$(gsettings get org.gnome.system.proxy.https port)" = "${http##*:}" ] || fail "guard: no https"
kill -TERM "$guard"
wait "$guard"
[ $? -eq 0 ] || fail "the guard did not end cleanly"
grep -q "socks5://sockuser:\*\*\*@$socks" "$work/err" || fail "the SOCKS row was not named"

# `proxy set`: the probe decides https; --no-probe leaves it direct; the login is kept.
set_proxy() { "$program" proxy set "$@" --connectivity-host "$origin" --check-timeout 10 \
  --data-dir "$work/data" 2>>"$work/err"; }
https() { gsettings get org.gnome.system.proxy.https port; }
out=$(set_proxy "http://user:secret@$http") || fail "proxy set with a login: $?"
[ "$out $(https) $(gs authentication-password)" = "on $http ${http##*:} 'secret'" ] ||
  fail "probed set: $out $(https)"
out=$(set_proxy "${address[tinyproxy-noconnect]}") || fail "proxy set: $?"
[ "$out $(https) $(gs use-authentication)" = "on ${address[tinyproxy-noconnect]} 0 false" ] ||
  fail "set without a tunnel: $out $(https)"
out=$(set_proxy "user:secret@$http" --no-probe) || fail "proxy set --no-probe: $?"
[ "$out $(https)" = "on $http 0" ] || fail "--no-probe: $out $(https)"
set_proxy "socks5://sockuser:sockpass@$socks" >/dev/null
[ $? -eq 2 ] || fail "a SOCKS login was not refused"
[ "$(gsettings get org.gnome.system.proxy.socks host)" = "''" ] || fail "the SOCKS refusal wrote"
"$program" proxy off --data-dir "$work/data" >/dev/null

# Not one password on standard error.
if grep -e secret -e sockpass -e hunter2 -e wrong -e nope "$work/err"; then
  fail "a password reached standard error"
fi
grep -q 'bob:\*\*\*@-rf:80\|line 1: not address:port' "$work/err" || fail "no skip message"
echo "PASS"
