# Sourced by the end-to-end scripts.
# serve_file FIXTURE_SERVER BODY_FILE LOG: starts the loopback fixture server answering every
# request with BODY_FILE; sets server_pid, and base (http://127.0.0.1:PORT) once it listens.
# Returns 1 when it did not start within 5 s.
serve_file() {
  "$1" --port 0 --max-seconds 60 --body-file "$2" >"$3" 2>&1 &
  server_pid=$!
  base=""
  local _
  for _ in $(seq 100); do
    base=$(sed -n 's/^listening //p' "$3")
    [ -n "$base" ] && return 0
    sleep 0.05
  done
  cat "$3"
  return 1
}
