#!/usr/bin/env bash
# The plug-ins for a host, alone: the four Windows modules (halvane.8bf and
# glimra.8bf for x86-64 and for x86), cross-compiled with mingw-w64 and
# gathered in build/plugins/windows-x86-64 and build/plugins/windows-x86, and
# the Mac bundles as the native build lays them out (Halvane.plugin and
# Glimra.plugin), copied to build/plugins/mac (VEXLOR_BUILD_ROOT moves
# build/).  The builds are the test command's, so either one reuses what the
# other compiled.  CMAKE_BUILD_PARALLEL_LEVEL sets the number of compile jobs
# (default: one per processor).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLOR_BUILD_ROOT:-$here/build}
jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

"$here/scripts/install-deps.sh" --windows
. "$here/scripts/common.sh"
require_tools cmake x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump \
  i686-w64-mingw32-objdump

# A module may import only what every Windows has: the C runtime and the
# threads of mingw-w64 are linked in.
system_dlls='^(kernel32|user32|gdi32|comctl32|msvcrt)\.dll$'

for arch in x86_64 i686; do
  cmake -S "$here" -B "$build/win-$arch" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/win-$arch" -j"$jobs" --target halvane glimra
  case "$arch" in
    x86_64) out="$build/plugins/windows-x86-64" ;;
    i686) out="$build/plugins/windows-x86" ;;
  esac
  mkdir -p "$out"
  for product in halvane glimra; do
    module="$build/win-$arch/$product.8bf"
    others=$("$arch-w64-mingw32-objdump" -p "$module" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
      grep -Ev "$system_dlls" || true)
    [ -z "$others" ] || { echo "$module needs DLLs that Windows does not have: $others" >&2; exit 1; }
    cp "$module" "$out/"
  done
  echo "wrote $out/halvane.8bf and $out/glimra.8bf"
done

# The bundles' executable is the module of the Mac form built on the Carbon
# stand-in, so no Mac host loads them (there is no Mac OS build).
cmake -S "$here" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$jobs" --target halvane_bundle glimra_bundle
out="$build/plugins/mac"
mkdir -p "$out"
for bundle in Halvane Glimra; do
  rm -rf "$out/$bundle.plugin"
  cp -R "$build/native/$bundle.plugin" "$out/"
done
echo "wrote $out/Halvane.plugin and $out/Glimra.plugin"
