#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build in build/, then the
# AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/, then a bounded run of
# every fuzz target over its corpus in build-fuzz/ (V3D_FUZZ_SECONDS per target, 20 by
# default; 0 skips it). Any failing test, sanitizer report or fuzzer crash fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test

jobs=$(nproc)

echo "== release build (build/)"
cmake --preset release -DV3D_BUILD_TESTS=ON -DV3D_BUILD_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/)"
cmake --preset asan-ubsan >/dev/null
cmake --build build-asan -j"$jobs"
# Huge requested shapes must come back as clean error codes, so the sanitizer allocator is
# told to return NULL like the real one instead of aborting.
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j"$jobs"

fuzz_seconds=${V3D_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz targets (build-fuzz/), ${fuzz_seconds} s each"
  cmake --preset fuzz >/dev/null
  cmake --build build-fuzz -j"$jobs" --target v3d_fuzz_bmp v3d_fuzz_tga v3d_fuzz_gif v3d_fuzz_jpeg \
    v3d_fuzz_tiff v3d_fuzz_tiff_stack v3d_fuzz_lines_script v3d_fuzz_shade_scene v3d_fuzz_macro
  scripts/fuzz.sh "$fuzz_seconds"
fi
