#!/usr/bin/env bash
# Builds LumvexIP and starts it. Extra arguments are passed to the program (see --help).
# With --demo first, starts it against loopback proxy-list sites and proxies (scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

# Warnings stay warnings here: a newer compiler's new warning must never stop anyone from
# starting the program (scripts/test.sh keeps them as errors). A build directory of its own, so
# switching between this and the test build does not rebuild everything each time.
build=build-start
configure() { cmake -S . -B "$build" -G Ninja -DLUMVEX_WERROR=OFF >/dev/null; }

if [ "${1:-}" = "--demo" ]; then
  shift
  bash scripts/install-deps.sh
  configure
  cmake --build "$build" -j"$(nproc)" --target lumvexip lumvex_proxy_sites lumvex_proxy_farm \
    lumvex_update_servers
  exec bash scripts/demo.sh "$build" "$@"
fi

bash scripts/install-deps.sh
configure
cmake --build "$build" -j"$(nproc)" --target lumvexip
exec "$build/src/ui/lumvexip" "$@"
