# Sourced by the end-to-end scripts. Starts Xvfb on a display number of its own and sets DISPLAY
# and xvfb_pid once the server accepts connections. Returns 1 when no server came up in 30 s.
# Usage: start_xvfb LOG_FILE [Xvfb options...]
#
# The number is drawn at random from a wide range rather than taken lowest-free (-displayfd):
# scripts run side by side, and a server that takes the number another one is just giving up can
# lose its socket to the other's clean-up (the client then "could not connect to display").
# A number in use makes Xvfb exit at once, and the next one is tried.
#
# -noreset: by default the server resets whenever its last client leaves (the readiness probe
# below, every `xdotool search` of a polling loop), and a client connecting during that reset is
# refused ("could not connect to display"); two xdpyinfo at a time lost about 1 connection in 150.
. "$(dirname "${BASH_SOURCE[0]}")/children.sh"
start_xvfb() {
  local log="$1"
  shift
  local deadline=$((SECONDS + 30)) number
  while ((SECONDS < deadline)); do
    number=$((1000 + (RANDOM * 32768 + RANDOM) % 30000))
    [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
    Xvfb ":$number" -noreset "$@" >"$log" 2>&1 &
    xvfb_pid=$!
    while ((SECONDS < deadline)) && kill -0 "$xvfb_pid" 2>/dev/null; do
      # Our own server, listening on its socket file: a client gets in through that file.
      if [ -S "/tmp/.X11-unix/X$number" ] &&
          XAUTHORITY=/dev/null xdpyinfo -display "unix:$number" >/dev/null 2>&1; then
        export DISPLAY=":$number"
        return 0
      fi
      sleep 0.1
    done
    end_children "$xvfb_pid"
  done
  return 1
}
