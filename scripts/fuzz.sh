#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (address, undefined and leak checks on) in
# build-fuzz/ and runs each for SECONDS, one after the other, one process each.
# Usage: scripts/fuzz.sh SECONDS [TARGET...]   (targets: the names of tests/fuzz/corpus/*)
# Each target starts from its seeds in tests/fuzz/corpus/<target>/ and grows its own corpus in
# build-fuzz/corpus/<target>/; an input that fails is saved in build-fuzz/artifacts/<target>/.
# Exit status 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}"
shift
targets=("$@")
if ((${#targets[@]} == 0)); then
  for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

bash scripts/install-deps.sh
# clang and its runtime libraries (libFuzzer, the sanitizers); only fuzzing needs them.
if ! dpkg-query -W -f='${Status}' clang libclang-rt-14-dev 2>/dev/null |
    grep -c "install ok installed" | grep -qx 2; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq clang libclang-rt-14-dev
fi

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DLUMVEX_FUZZ=ON -DLUMVEX_WERROR=OFF \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  log="$build/fuzz-$target.log"
  echo "== $target: ${seconds}s"
  # Inputs are kept small (as pages cut into records are) so that one run stays far below the
  # 1 s limit; a slower input is a failure, as is a crash, a leak or a broken property.
  if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$target")
    # What broke, where a CI log shows it: the property or sanitizer report and the input.
    grep -E -A3 'property failed|ERROR: |SUMMARY: |^artifact_prefix|Test unit written' "$log" |
      grep -v '^ *#[0-9]' | head -20 || true
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  files=$(find "$corpus" -type f | wc -l)
  echo "$target: $status, runs ${runs:-?}, exec/s ${rate:-?}, corpus $files files (log $log)"
done

if ((${#failed[@]})); then
  echo "Failed: ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
