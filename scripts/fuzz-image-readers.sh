#!/usr/bin/env bash
# Fuzzes pihost's PNG and TIFF readers with libFuzzer under AddressSanitizer
# and UndefinedBehaviorSanitizer, each for a bounded time (FUZZ_SECONDS,
# default 45) from the seeds in tests/fuzz/seeds, with a memory limit.  New
# inputs go to a scratch corpus in the build folder, never into the seeds;
# a find is kept in the build folder's fuzz/artifacts and fails the script.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLOR_BUILD_ROOT:-$here/build}/fuzz
seconds=${FUZZ_SECONDS:-45}

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXLOR_SANITIZE=address,undefined,fuzzer-no-link >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_png_reader fuzz_tiff_reader >/dev/null

mkdir -p "$build/artifacts"
for format in png tiff; do
  corpus="$build/corpus/$format"
  mkdir -p "$corpus"
  log="$build/$format.log"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/tests/fuzz/fuzz_${format}_reader" -max_total_time="$seconds" -rss_limit_mb=1024 \
      -malloc_limit_mb=256 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/$format-" \
      "$corpus" "$here/tests/fuzz/seeds/$format" >"$log" 2>&1; then
    tail -40 "$log" >&2
    echo "fuzzing the $format reader found a fault; the input is in $build/artifacts" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$format reader: $runs executions in $seconds s, nothing found"
done
