# Sourced by the end-to-end scripts that harvest through the real window from the loopback sites
# started with --log FILE.

# requested LOG TENTHS TARGET: waits up to TENTHS tenths of a second for a request of source A's
# TARGET in the sites' request log.
requested() {
  local _
  for _ in $(seq "$2"); do
    grep -qxF "a $3" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# press_harvest LOG WINDOW: presses "获取代理IP" until the harvest asks for the first category's
# page 1. Under load the window may not take the first press, or the category list may not have
# been read yet (that harvest asks for pages of no category, which come back empty, and enables
# the button again when it ends). Returns 1 when the harvest never started.
press_harvest() {
  local _
  requested "$1" 300 "/proxy_ipList.html?pageid=1" || return 1
  for _ in $(seq 15); do
    # Inside the button at the window's default size, whose column ends near its right edge.
    xdotool mousemove --window "$2" 664 62 click 1
    requested "$1" 20 "/proxy_ip.html?id=101&pageid=1" && return 0
  done
  return 1
}
