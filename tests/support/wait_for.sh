# Sourced by the end-to-end scripts.
# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; 1 when it never did.
wait_for() {
  local tries=$(($1 * 10))
  shift
  while ((tries-- > 0)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}
