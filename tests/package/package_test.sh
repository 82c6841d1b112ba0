#!/usr/bin/env bash
# scripts/package.sh makes the Debian package of this build; `dpkg -i` installs it; the installed
# /usr/bin/lumvexip, run by an ordinary user, answers --help and checks the proxies of a loopback
# farm with its data in $XDG_DATA_HOME/lumvexip; `dpkg -r` then removes every file the package
# brought. The package is removed at the end even when a step fails.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR LUMVEX_PROXY_FARM
set -uo pipefail

source_dir=${1:?source directory expected}
build=${2:?build directory expected}
farm=${3:?lumvex_proxy_farm expected}
. "$source_dir/tests/support/wait_for.sh"
. "$source_dir/tests/support/children.sh"
fail() { echo "FAIL: $*"; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing a package needs root"
  exit 77
fi
for tool in cpack dpkg-shlibdeps setpriv flock; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

# One package test at a time on this machine, from whatever build or worktree: they all install
# and remove the same package.
exec 9>/run/lock/lumvexip-package-test.lock
flock -w 900 9 || fail "another package test kept the lock for 15 minutes"
if dpkg-query -W -f='${Status}' lumvexip 2>/dev/null | grep -q "install ok installed"; then
  fail "lumvexip is installed already; this test would remove it (dpkg -r lumvexip first)"
fi

work=$(mktemp -d)
chmod 755 "$work"
installed=0
farm_pid=""
# dpkg does not wait for its lock, and an apt run by someone else may hold it for a while.
dpkg_waiting() {
  for _ in $(seq 300); do
    dpkg "$@" >"$work/dpkg.log" 2>&1 && return 0
    grep -qi "lock" "$work/dpkg.log" || break
    sleep 1
  done
  cat "$work/dpkg.log"
  return 1
}
cleanup() {
  end_children $farm_pid
  if [ "$installed" = 1 ]; then dpkg_waiting -r lumvexip || echo "could not remove lumvexip"; fi
  rm -rf "$work"
}
trap cleanup EXIT

started=$(date +%s)
deb=$(bash "$source_dir/scripts/package.sh" "$build" 2>"$work/package.log" | tail -1)
[ -f "$deb" ] || { cat "$work/package.log"; fail "scripts/package.sh made no package"; }
case "$(basename "$deb")" in
  lumvexip_*_amd64.deb) ;;
  *) fail "package file name $(basename "$deb")" ;;
esac
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no library dependencies found"
mapfile -t files < <(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$')
for wanted in /usr/bin/lumvexip /usr/share/applications/lumvexip.desktop \
  /usr/share/icons/hicolor/scalable/apps/lumvexip.svg /usr/share/doc/lumvexip/README.md; do
  printf '%s\n' "${files[@]}" | grep -qx "$wanted" || fail "the package lacks $wanted"
done

installed=1
dpkg_waiting -i "$deb" || fail "dpkg -i failed"
for file in "${files[@]}"; do [ -e "$file" ] || fail "$file was not installed"; done

# An ordinary user, as desktops run it: the installed copy cannot write beside itself.
home=$work/home
mkdir -p "$home"
chown nobody:nogroup "$home"
as_user() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$home" XDG_DATA_HOME="$home/share" PATH=/usr/bin:/bin "$@"
}
help=$(as_user lumvexip --help 2>&1) || fail "lumvexip --help: exit status $?"
grep -q -- '--data-dir' <<<"$help" || fail "lumvexip --help printed: $help"

"$farm" --count 2 --behaviour answer --out "$work/farm.list" --max-seconds 120 \
  >"$work/farm.log" 2>&1 &
farm_pid=$!
wait_for 10 test -s "$work/farm.list" || { cat "$work/farm.log"; fail "the proxy farm did not start"; }
# Port 1 of loopback refuses: a proxy that must fail.
{ tr -d '\r' <"$work/farm.list"; echo "127.0.0.1:1"; } >"$home/list.txt"
chown nobody:nogroup "$home/list.txt"
out=$(as_user lumvexip check "$home/list.txt" --check-timeout 20 \
  --validation-host http://127.0.0.1:1/) || fail "lumvexip check: exit status $?"
expected=$({ sed 's/$/\tok/' <"$home/list.txt" | head -n -1; printf '127.0.0.1:1\tfailed\n'; } | sort)
[ "$(cut -f1,2 <<<"$out" | sort)" = "$expected" ] || fail "lumvexip check printed: $out"
# The data directory's parent is made when the program settles on $XDG_DATA_HOME/lumvexip (the
# directory itself comes with the first file written: here the check history).
[ -d "$home/share" ] || fail "the program did not settle on \$XDG_DATA_HOME/lumvexip"
[ -e /usr/bin/data ] && fail "the installed program made /usr/bin/data"

dpkg_waiting -r lumvexip || fail "dpkg -r failed"
installed=0
for file in "${files[@]}"; do [ -e "$file" ] && fail "$file is left after dpkg -r"; done
[ -e /usr/share/doc/lumvexip ] && fail "/usr/share/doc/lumvexip is left after dpkg -r"
dpkg-query -W -f='${Status}' lumvexip 2>/dev/null | grep -q "installed" &&
  fail "dpkg still lists lumvexip as installed"
echo "PASS ($(basename "$deb"), $(stat -c %s "$deb") bytes, $(($(date +%s) - started)) s)"
