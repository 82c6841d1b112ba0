#!/usr/bin/env bash
# Builds LumvexIP and starts it. Extra arguments are passed to the program (see --help).
# With --demo first, starts it against loopback proxy-list sites and proxies (scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--demo" ]; then
  shift
  bash scripts/install-deps.sh
  cmake -S . -B build -G Ninja -DLUMVEX_WERROR=ON >/dev/null
  cmake --build build -j"$(nproc)" --target lumvexip lumvex_proxy_sites lumvex_proxy_farm \
    lumvex_update_servers
  exec bash scripts/demo.sh build "$@"
fi

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DLUMVEX_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)" --target lumvexip
exec build/src/ui/lumvexip "$@"
