# Sourced by test scripts: `end_children PID...` ends those of the given processes that are still
# this script's own children, and reaps them; `own_child PID` tells whether one is.
#
# The shell reaps a background job the moment it ends, and its number is then free for any new
# process. On a busy machine numbers wrap within one test run (pid_max is often 32768), so a plain
# `kill` of a stored number can end another test's X server or proxy: only a process whose parent
# is this script is ended.
own_child() {
  local stat parent
  [[ $1 =~ ^[0-9]+$ ]] || return 1
  { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }  # after the command name, which may hold spaces and brackets
  read -r _ parent _ <<<"$stat"
  [ "$parent" = "$$" ]
}
end_children() {
  local pid
  for pid in "$@"; do
    own_child "$pid" || continue
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  return 0
}
