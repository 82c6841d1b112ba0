#!/usr/bin/env bash
# The command line as a user meets it, without a display: every subcommand's --help prints its
# usage to standard output and exits 0 (also with other arguments around it), the top-level
# --help lists the subcommands, and a mistyped subcommand is named as such instead of asking for
# a display; argument errors name the flag that was mistyped.
# Usage: command_line_test.sh PATH_TO_LUMVEXIP
set -uo pipefail
program=${1:?path to lumvexip expected}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CONFIG_HOME=$work/config GSETTINGS_BACKEND=memory
failures=0
fail() {
  echo "FAIL: $*"
  sed 's/^/  stdout: /' "$work/out"
  sed 's/^/  stderr: /' "$work/err"
  failures=$((failures + 1))
}

# arguments | expected exit status | text standard output starts with | text it must also hold
# ("-" for none) | text standard error must hold ("-" for empty)
while IFS='|' read -r args status starts holds err_holds; do
  # shellcheck disable=SC2086  # the arguments are split on purpose
  "$program" $args </dev/null >"$work/out" 2>"$work/err"
  got=$?
  [ "$got" = "$status" ] || { fail "'$args': exit status $got, not $status"; continue; }
  [ "$starts" = "-" ] || [ "$(head -c ${#starts} "$work/out")" = "$starts" ] ||
    { fail "'$args': standard output does not start with '$starts'"; continue; }
  [ "$holds" = "-" ] || grep -qF -- "$holds" "$work/out" ||
    { fail "'$args': standard output lacks '$holds'"; continue; }
  if [ "$err_holds" = "-" ]; then
    [ -s "$work/err" ] && fail "'$args': standard error is not empty"
  else
    grep -qF -- "$err_holds" "$work/err" || fail "'$args': standard error lacks '$err_holds'"
  fi
done <<'TABLE'
check --help|0|Usage: lumvexip check|--threads|-
check -h|0|Usage: lumvexip check|--json|-
check --threads zero --help|0|Usage: lumvexip check|-|-
harvest --help|0|Usage: lumvexip harvest|--url|-
harvest --source c --help|0|Usage: lumvexip harvest|--source|-
proxy --help|0|Usage: lumvexip proxy|proxy guard|-
proxy set --help|0|Usage: lumvexip proxy|guard|-
proxy guard --help|0|Usage: lumvexip proxy guard|--interval|-
--help|0|Usage: |harvest|-
--help|0|Usage: |SUBCOMMAND --help|-
frobnicate|2|-|-|unknown subcommand "frobnicate"
chek --help|2|-|-|unknown subcommand "chek"
proxy|2|-|-|set HOST:PORT, off, status or guard
--bogus|2|-|-|unknown option --bogus
--data-dir /tmp stray|2|-|-|unknown argument "stray"
check /dev/null --bogus|2|-|-|unknown option --bogus
check --jsn /dev/null|2|-|-|unknown option --jsn
harvest --help|0|Usage: lumvexip harvest|each address is printed once|-
judge --help|0|Usage: lumvexip judge|  --rate R|-
proxy guard --help|0|Usage: lumvexip proxy guard|(SECONDS: above 0, at most 86400, as 5 or 0.5; default 60)|-
TABLE

# Without a display a mistyped flag is still an argument error, said before the display is.
"$program" --bogus </dev/null >"$work/out" 2>"$work/err"
grep -q DISPLAY "$work/err" && fail "--bogus: the missing display was reported"
"$program" --data-dir "$work" </dev/null >"$work/out" 2>"$work/err"
[ $? = 3 ] && grep -q DISPLAY "$work/err" || fail "good flags without a display: not exit 3"

# The top-level help names every subcommand.
"$program" --help >"$work/out" 2>"$work/err"
for name in check harvest proxy; do
  grep -qE "^  $name " "$work/out" || fail "--help does not list the subcommand $name"
done

[ "$failures" = 0 ] || exit 1
echo "command line: all cases passed"
