#!/usr/bin/env bash
# Builds the Debian package lumvexip_<version>_amd64.deb with CPack and prints its path.
# Usage: scripts/package.sh [BUILD_DIR]
#   Without BUILD_DIR: installs missing build packages, then makes a release build of the program
#   alone in build-package/, without warnings as errors (as start.sh does), and packages it.
#   With BUILD_DIR: packages that configured build as it is (the package test uses the test build).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ge 1 ]; then
  build=$1
  [ -f "$build/CPackConfig.cmake" ] || { echo "package: $build is not a configured build" >&2; exit 2; }
else
  bash scripts/install-deps.sh
  build=build-package
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMVEX_WERROR=OFF \
    -DLUMVEX_BUILD_TESTS=OFF -DLUMVEX_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target lumvexip

out="$(cd "$build" && pwd)/package"
rm -rf "$out"
mkdir -p "$out"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  exit 1
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$out/lumvexip_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package: cpack made no $deb" >&2; cat "$out/cpack.log" >&2; exit 1; }
echo "$deb"
