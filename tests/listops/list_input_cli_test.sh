#!/usr/bin/env bash
# Bad list input given to the real program, as a user would give it: `check` and `proxy guard`
# with a directory, a missing file, /dev/zero, an endless line and a forgotten flag value end
# at once with a message and exit 2 (never a crash or a gigabyte of memory); every line end
# style is read; `harvest --url` exits 1 on a list without a proxy, and prints nothing of the
# escape sequences a served list holds.
# Usage: list_input_cli_test.sh PATH_TO_LUMVEXIP FIXTURE_SERVER
. "$(cd "$(dirname "$0")/../support" && pwd)/fixture_server.sh"
. "$(cd "$(dirname "$0")/../support" && pwd)/children.sh"
set -uo pipefail

program=${1:?path to lumvexip expected}
fixture=${2:?lumvex_fixture_server expected}
work=$(mktemp -d)
server_pid=""
cleanup() {
  end_children $server_pid
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS STDERR_TEXT COMMAND...: the command ends within 30 s with that status and says so.
expect() {
  local want=$1 text=$2
  shift 2
  timeout 30 "$@" --data-dir "$work/data" </dev/null >"$work/out" 2>"$work/err"
  local status=$?
  [ "$status" = "$want" ] || fail "$*: exit $status, expected $want; stderr: $(head -c 300 "$work/err")"
  [ -z "$text" ] || grep -qF -- "$text" "$work/err" || fail "$*: stderr lacks \"$text\": $(head -c 300 "$work/err")"
}

mkdir "$work/dir"
# One line of 64 MiB: skipped for its length, read in pieces.
head -c $((64 * 1024 * 1024)) /dev/zero | tr '\0' 'a' >"$work/long"
printf '127.0.0.1:9\r127.0.0.2:9\r' >"$work/cr"
printf '\xEF\xBB\xBF127.0.0.1:9\n127.0.0.2:9@HTTP;\xE6\x9C\xAC\xE5\x9C\xB0\n' >"$work/utf8"

expect 2 "is a directory" "$program" check "$work/dir"
expect 2 "is a directory" "$program" proxy guard "$work/dir"
expect 2 "cannot read" "$program" check "$work/missing"
expect 2 "cannot read" "$program" proxy guard "$work/missing"
expect 2 "NUL byte" "$program" check /dev/zero
expect 2 "NUL byte" "$program" proxy guard /dev/zero
expect 0 "line 1: longer than 4096 bytes" "$program" check "$work/long"
grep -qF "no address:port line to check" "$work/err" || fail "check long: no clear result"
expect 2 "--expect needs a value" "$program" check --expect --json "$work/cr"
expect 2 "--check-timeout needs a value" "$program" check --check-timeout --json "$work/cr"
for list in cr utf8; do
  expect 0 "" "$program" check "$work/$list" --check-timeout 2
  lines=$(cut -f1 "$work/out" | sort | tr '\n' ' ')
  [ "$lines" = "127.0.0.1:9 127.0.0.2:9 " ] || fail "check $list printed: $(cat "$work/out")"
done

# harvest --url: a list whose lines are escape sequences only gives no row: exit 1, and not one
# escape byte reaches the terminal.
printf '\033]0;pwned\007\r\n\033[2J\033[H:80\r\n' >"$work/hostile.txt"
serve_file "$fixture" "$work/hostile.txt" "$work/server.log" || fail "fixture server did not start"
expect 1 "no address:port line" "$program" harvest --url "$base/hostile.txt"
if grep -q $'\033' "$work/out" "$work/err"; then fail "an escape byte was printed"; fi

[ "$failures" = 0 ] || exit 1
echo "PASS"
