#!/usr/bin/env bash
# Fuzzes the readers of files from outside with libFuzzer under
# AddressSanitizer and UndefinedBehaviorSanitizer: the target
# fuzz_NAME_reader of tests/fuzz for every folder NAME of seeds in
# tests/fuzz/seeds, each for a bounded time (FUZZ_SECONDS, default 45) with a
# memory limit.  New inputs go to a scratch corpus in the build folder, never
# into the seeds; a find is kept in the build folder's fuzz/artifacts and
# fails the script.
# Usage: fuzz-test.sh [NAME...]   (default: every folder of seeds)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLOR_BUILD_ROOT:-$here/build}/fuzz
seconds=${FUZZ_SECONDS:-45}
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for seeds in "$here"/tests/fuzz/seeds/*/; do names+=("$(basename "$seeds")"); done
fi

targets=()
for name in "${names[@]}"; do targets+=("fuzz_${name}_reader"); done
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXLOR_SANITIZE=address,undefined,fuzzer-no-link >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

mkdir -p "$build/artifacts"
for name in "${names[@]}"; do
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  log="$build/$name.log"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/tests/fuzz/fuzz_${name}_reader" -max_total_time="$seconds" -rss_limit_mb=1024 \
      -malloc_limit_mb=256 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
      "$corpus" "$here/tests/fuzz/seeds/$name" >"$log" 2>&1; then
    tail -40 "$log" >&2
    echo "fuzzing the $name reader found a fault; the input is in $build/artifacts" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$name reader: $runs executions in $seconds s, nothing found"
done
