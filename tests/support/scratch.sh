# Sourced by test scripts: a temporary folder `work` (the script's own when it made one first)
# and the background jobs listed in `pids`, removed and ended when the script exits; `fail`.
work=${work:-$(mktemp -d)}
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
