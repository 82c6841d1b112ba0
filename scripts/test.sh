#!/usr/bin/env bash
# Builds LumvexIP with warnings as errors and runs every test (unit, Qt, end-to-end).
# Usage: scripts/test.sh [--sanitize address,undefined|thread]
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=""
if [ "${1:-}" = "--sanitize" ]; then sanitize="${2:?sanitizer list expected}"; fi

bash scripts/install-deps.sh

build=build
if [ -n "$sanitize" ]; then build="build-${sanitize//,/-}"; fi
# A compiler cache, when the machine has one, makes a rebuild in a fresh clone (CI's) cheap: paths
# under the checkout are hashed relative to it, and the build folder's own path is left out of the
# hash (the debug builds would otherwise hash it), so another clone of the same tree hits the cache.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DLUMVEX_WERROR=ON -DLUMVEX_SANITIZE="$sanitize" "${launcher[@]}" \
  >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 300
