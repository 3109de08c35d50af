#!/usr/bin/env bash
# Every test: the native build with its unit and plug-in tests (the digest
# table of the modules' outputs also on emulated narrower processors), the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, the engines'
# thread drivers under ThreadSanitizer, the Windows cross builds of both
# plug-ins for x86-64 and x86 with their resources checked, and both run
# under Wine (scripts/wine-test.sh), and the readers of files from outside
# (settings files, pihost's PNG, TIFF, PPM and PGM) fuzzed for a bounded
# time (scripts/fuzz-test.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLOR_BUILD_ROOT:-$here/build}
jobs=$(nproc)

"$here/scripts/install-deps.sh" --windows --wine --fuzz --qemu
. "$here/scripts/common.sh"
require_tools cmake ctest g++ qemu-x86_64 x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix \
  x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump wine wineserver Xvfb xwd clang clang++
probe_wine_x86
if [ "$VEXLOR_WINE_X86" = 1 ]; then
  echo "== x86 Windows programs run here: the x86 modules are run under Wine too"
else
  echo "== SKIPPING the x86 Wine runs: $VEXLOR_WINE_X86_WHY; the x86 modules are still built and checked statically"
fi

echo "== native build and tests"
cmake -S "$here" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$jobs"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs"

# What the main job does, on the bundled photograph: it must keep working as
# a user runs it, with the photograph's own colour profile.
echo "== the main job's runs on the sample photograph"
sample_out=$(mktemp -d)
cp "$here/samples/astronaut.png" "$sample_out/"
VEXLOR_BUILD_ROOT="$build" "$here/scripts/main-job.sh" "$sample_out/astronaut.png"
rm -r "$sample_out"

# The modules choose their kernels' instruction set when they load: on an
# emulated processor without AVX-512 (qemu's "max": AVX2) and one without AVX
# (Nehalem: the baseline) their outputs must still be the table's.
echo "== the digest table on the AVX2 and the baseline kernels (qemu-user)"
for cpu in max Nehalem; do
  qemu-x86_64 -cpu "$cpu" "$build/native/tests/test_digest" --gtest_brief=1
done

echo "== address and undefined-behaviour sanitizers"
cmake -S "$here" -B "$build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLOR_SANITIZE=address,undefined,float-cast-overflow >/dev/null
cmake --build "$build/asan" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$build/asan" --output-on-failure -j"$jobs" -LE slow

echo "== thread sanitizer on the engines' thread drivers and the preview's recompute"
cmake -S "$here" -B "$build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLOR_SANITIZE=thread >/dev/null
cmake --build "$build/tsan" -j"$jobs" --target test_engine test_halvane test_preview test_preview_halvane
TSAN_OPTIONS=halt_on_error=1 "$build/tsan/tests/test_engine"
TSAN_OPTIONS=halt_on_error=1 "$build/tsan/tests/test_halvane"
# The preview's recompute: the engine's bands and the threaded enhance.
for t in test_preview test_preview_halvane; do
  TSAN_OPTIONS=halt_on_error=1 "$build/tsan/tests/$t" \
    --gtest_filter='*Recompute*:*ThreadedEnhance*:*WholeImageAtZoom1*:*Composition*'
done

echo "== fuzzing the settings-file reader and pihost's PNG, TIFF, PPM and PGM readers"
VEXLOR_BUILD_ROOT="$build" "$here/scripts/fuzz-test.sh"

echo "== Windows cross builds"
for arch in x86_64 i686; do
  cmake -S "$here" -B "$build/win-$arch" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/win-$arch" -j"$jobs"
  for plugin in "$build/win-$arch"/*.8bf; do
    exports=$("$arch-w64-mingw32-objdump" -p "$plugin")
    grep -Eq '^\s*\[ *[0-9]+\] PluginMain$' <<<"$exports" ||
      { echo "$plugin does not export PluginMain" >&2; exit 1; }
    echo "$(basename "$plugin") ($arch) exports PluginMain"
  done
done

echo "== resources of the Windows modules"
VEXLOR_WIN_MODULES_X86_64="$build/win-x86_64" VEXLOR_WIN_MODULES_I686="$build/win-i686" "$build/native/tests/test_resources"

echo "== Windows plug-ins under Wine"
VEXLOR_BUILD_ROOT="$build" "$here/scripts/wine-test.sh"
echo "all test stages passed"
