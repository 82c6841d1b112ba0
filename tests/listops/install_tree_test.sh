#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the program, its desktop entry and its hicolor icon
# land where desktops look for them, the entry names that program and icon, and the installed
# program runs (`harvest --url` against a loopback list, with a data directory of its own).
# Usage: install_tree_test.sh BUILD_DIR FIXTURE_SERVER
. "$(cd "$(dirname "$0")/../support" && pwd)/fixture_server.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/children.sh"
set -uo pipefail

build=${1:?build directory expected}
fixture=${2:?lumvex_fixture_server expected}
work=$(mktemp -d)
server_pid=""
cleanup() {
  end_children $server_pid
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/usr" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install failed"; }

bin=$work/usr/bin/lumvexip
entry=$work/usr/share/applications/lumvexip.desktop
icon=$work/usr/share/icons/hicolor/scalable/apps/lumvexip.svg
[ -x "$bin" ] || fail "no executable $bin"
[ -f "$entry" ] || fail "no desktop entry $entry"
[ -f "$icon" ] || fail "no icon $icon"
grep -qx 'Exec=lumvexip' "$entry" || fail "the entry does not start lumvexip"
grep -qx 'Icon=lumvexip' "$entry" || fail "the entry does not name the installed icon"
grep -qx 'Type=Application' "$entry" || fail "the entry is not an application"
grep -q '<svg' "$icon" || fail "the icon is not an SVG picture"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
fi

# The installed program runs headless: a list served on loopback is imported and printed.
printf '1.1.1.1:80\r\n2.2.2.2:8080\r\n' >"$work/list.txt"
serve_file "$fixture" "$work/list.txt" "$work/server.log" || fail "fixture server did not start"
out=$("$bin" harvest --url "$base/list.txt" --data-dir "$work/data")
[ "$out" = $'1.1.1.1:80\n2.2.2.2:8080' ] || fail "harvest --url printed: $out"
echo "PASS"
