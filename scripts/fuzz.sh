#!/usr/bin/env bash
# Runs every decoder fuzz target of build-fuzz/ for SECONDS seconds (default 20) over its
# checked-in corpus in fuzz/corpus/. New inputs go to a scratch directory, so the checked-in
# corpus is left as it is; a crash, leak or sanitizer report is saved in build-fuzz/crashes/
# and fails the run.
#
#   cmake --preset fuzz && cmake --build build-fuzz -j2 && scripts/fuzz.sh 600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/crashes
status=0
for target in bmp tga gif jpeg tiff tiff_stack lines_script shade_scene macro; do
  work=$(mktemp -d)
  log=build-fuzz/fuzz_${target}.log
  if build-fuzz/fuzz/v3d_fuzz_${target} -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix=build-fuzz/crashes/${target}- -print_final_stats=1 \
      "$work" fuzz/corpus/${target} >"$log" 2>&1; then
    echo "fuzz ${target}: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs, clean"
  else
    echo "fuzz ${target}: FAILED (log: $log)"
    tail -n 40 "$log"
    status=1
  fi
  rm -rf "$work"
done
exit $status
