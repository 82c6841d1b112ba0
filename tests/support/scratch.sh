# Sourced by test scripts: a temporary folder `work` (the script's own when it made one first)
# and the background jobs listed in `pids`, removed and ended when the script exits; `fail`.
. "$(dirname "${BASH_SOURCE[0]}")/children.sh"
work=${work:-$(mktemp -d)}
pids=()
cleanup() {
  end_children "${pids[@]}"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
