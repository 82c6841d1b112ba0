# Sourced by the end-to-end scripts. Starts Xvfb on a display number the server picks itself
# (-displayfd), so scripts running side by side never race for the same number; sets DISPLAY and
# xvfb_pid once the server accepts connections. Returns 1 when it did not come up in 30 s.
# Usage: start_xvfb LOG_FILE [Xvfb options...]
start_xvfb() {
  local log="$1"
  shift
  local number_file
  number_file="$(mktemp)"
  Xvfb -displayfd 3 "$@" 3>"$number_file" >"$log" 2>&1 &
  xvfb_pid=$!
  local number="" _
  for _ in $(seq 300); do
    if [ "$(wc -l <"$number_file")" -ge 1 ]; then
      number="$(tr -dc '0-9' <"$number_file")"
      break
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  [ -n "$number" ] || return 1
  export DISPLAY=":$number"
  # The number comes when the server listens; on a loaded machine make sure a client gets in
  # before anything is started on it.
  if command -v xdpyinfo >/dev/null; then
    local tries
    for tries in $(seq 100); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$xvfb_pid" 2>/dev/null || return 1
      sleep 0.1
    done
    return 1
  fi
}
