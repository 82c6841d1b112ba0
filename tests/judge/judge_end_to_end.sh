#!/usr/bin/env bash
# `lumvexip judge` as its users run it: curl asks for JSON and for text lines, directly and
# through tinyproxy on loopback; one log line per request on standard error; a taken port exits
# with 1, bad usage with 2, SIGTERM with 0.
# Usage: judge_end_to_end.sh PATH_TO_LUMVEXIP
set -uo pipefail
. "$(cd "$(dirname "$0")/../support" && pwd)/wait_for.sh"

program=${1:?path to lumvexip expected}
command -v curl >/dev/null || { echo "SKIP: curl is not installed"; exit 77; }
. "$(cd "$(dirname "$0")/../support" && pwd)/scratch.sh"
expect_in() { grep -qF -- "$2" "$1" || { cat "$1"; fail "$3"; }; }

"$program" judge --help >"$work/help" || fail "judge --help exited with $?"
expect_in "$work/help" "Usage: lumvexip judge --listen ADDRESS:PORT" "judge --help"
"$program" judge --listen 127.0.0.1 2>"$work/usage"
[ $? -eq 2 ] || fail "a listen address without port is bad usage"
expect_in "$work/usage" '--listen: not A.B.C.D:PORT, [IPV6]:PORT, localhost:PORT or PORT: "127.0.0.1"' "usage message"

"$program" judge --listen 127.0.0.1:0 >"$work/out" 2>"$work/log" &
judge=$!
pids+=("$judge")
listening() { grep -q "^judge listening on http://127.0.0.1:[0-9]*/$" "$work/out"; }
wait_for 10 listening || fail "the judge did not start: $(cat "$work/log")"
url=$(sed -n 's/^judge listening on //p' "$work/out")

curl -sS --max-time 10 -H "X-Forwarded-For: 10.9.8.7" "${url}get?a=1" >"$work/json" ||
  fail "curl got no JSON answer"
expect_in "$work/json" '{"origin": "127.0.0.1", "headers": {"Host": "' "JSON origin"
expect_in "$work/json" '"X-Forwarded-For": "10.9.8.7"' "JSON header"
curl -sS --max-time 10 -H "Accept: text/plain" "$url" >"$work/text" || fail "curl got no text"
[ "$(head -n1 "$work/text")" = "REMOTE_ADDR = 127.0.0.1" ] || fail "text: $(cat "$work/text")"
expect_in "$work/text" "Accept = text/plain" "text header line"

# Through a real proxy, the judge sees what the proxy passes on (tinyproxy adds Via).
tinyproxy=$(command -v tinyproxy || echo /usr/sbin/tinyproxy)
if [ -x "$tinyproxy" ]; then
  for _ in 1 2 3; do
    port=$((20000 + RANDOM % 12000))
    printf 'Port %s\nListen 127.0.0.1\nTimeout 10\nAllow 127.0.0.0/8\n' "$port" >"$work/tp.conf"
    "$tinyproxy" -d -c "$work/tp.conf" >"$work/tp.log" 2>&1 &
    pids+=($!)
    proxy_up() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
    wait_for 10 proxy_up && break
  done
  curl -sS --max-time 10 -x "http://127.0.0.1:$port" "$url" >"$work/proxied" ||
    fail "no answer through tinyproxy: $(cat "$work/tp.log")"
  expect_in "$work/proxied" '"Via": "1.1 ' "Via added by tinyproxy"
fi

port=${url##*:}
port=${port%/}
"$program" judge --listen "127.0.0.1:$port" 2>"$work/taken"
[ $? -eq 1 ] || fail "a taken port exits with 1"
expect_in "$work/taken" "judge: cannot listen on 127.0.0.1:$port: Address already in use" "taken"

# Out of descriptors, the judge drops what it cannot take and comes back once they are free.
(ulimit -n 30 && exec "$program" judge --listen 127.0.0.1:0 >"$work/few.out" 2>/dev/null) &
few=$!
pids+=("$few")
few_listening() { grep -q "^judge listening on " "$work/few.out"; }
wait_for 10 few_listening || fail "the judge with 30 descriptors did not start"
few_url=$(sed -n 's/^judge listening on //p' "$work/few.out")
few_port=${few_url##*:}
few_port=${few_port%/}
descriptors_full() { [ "$(ls "/proc/$few/fd" | wc -l)" -ge 30 ]; }
(
  for _ in $(seq 60); do exec {held}<>"/dev/tcp/127.0.0.1/$few_port"; done
  wait_for 10 descriptors_full || echo "never ran out of descriptors" >"$work/few.err"
)
[ ! -e "$work/few.err" ] || fail "$(cat "$work/few.err")"
curl -sS --max-time 10 "$few_url" >"$work/few.json" || fail "the judge did not answer once descriptors were free"
expect_in "$work/few.json" '{"origin": "127.0.0.1"' "answer after running out of descriptors"

kill -TERM "$judge"
wait "$judge"
status=$?
[ "$status" -eq 0 ] || fail "SIGTERM ended the judge with $status"
expect_in "$work/log" " 127.0.0.1 GET /get?a=1 200 " "log line of the JSON request"
expect_in "$work/log" " 127.0.0.1 GET / 200 " "log line of the text request"
echo "PASS"
