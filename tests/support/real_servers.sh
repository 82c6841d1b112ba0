# Sourced by the scripts that run real proxy software on loopback ports. Needs wait_for.sh, and
# from the script: `work` (its temporary folder), `configs` (the configuration templates) and
# `server` (the fixture server, started here as the origin every proxy is asked for).

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# A port nothing listens on, below the kernel's ephemeral range (32768 and up): a port there may
# be the local end of another test's outgoing connection, free to connect to but not to bind.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 12000))
    port_in_use "$port" || { echo "$port"; return; }
  done
}

# listening_or_gone PID PORT: the server listens, or it has ended.
listening_or_gone() { port_in_use "$2" || ! kill -0 "$1" 2>/dev/null; }

# start NAME CONFIG COMMAND...: fills in the configuration template CONFIG (none: "-"; @PORT@ and
# @DIR@ replaced), starts COMMAND in the foreground of a background job with @PORT@ and @CONF@ in
# its arguments replaced, waits for its port and records NAME as address:port. A port taken
# between the choice and the bind (by another test's server) is tried again with another.
declare -A address
start() {
  local name=$1 config=$2
  shift 2
  local port arg args attempt
  for attempt in 1 2 3; do
    port=$(free_port)
    if [ "$config" != - ]; then
      sed -e "s|@PORT@|$port|g" -e "s|@DIR@|$work|g" "$configs/$config" >"$work/$name.conf"
    fi
    args=()
    for arg in "$@"; do
      arg=${arg//@PORT@/$port}
      args+=("${arg//@CONF@/$work/$name.conf}")
    done
    "${args[@]}" >"$work/$name.out" 2>&1 &
    pids+=($!)
    wait_for 20 listening_or_gone "$!" "$port"
    if port_in_use "$port"; then
      address[$name]="127.0.0.1:$port"
      return
    fi
    grep -qi "in use" "$work/$name.out" || break
  done
  cat "$work/$name.out"
  fail "$name did not start"
}

. "$(dirname "${BASH_SOURCE[0]}")/scratch.sh"

origin_port=$(free_port)
"$server" --port "$origin_port" --body "the page" --max-seconds 110 >"$work/origin.log" 2>&1 &
pids+=($!)
wait_for 10 port_in_use "$origin_port" || fail "the origin server did not start"
