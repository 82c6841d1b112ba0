#!/usr/bin/env bash
# Builds LumvexIP and starts it. Extra arguments are passed to the program (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DLUMVEX_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)" --target lumvexip
exec build/src/ui/lumvexip "$@"
