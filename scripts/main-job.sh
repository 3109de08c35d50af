#!/usr/bin/env bash
# The main job: build both plug-ins and the reference host, then filter the
# bundled sample photograph through each plug-in, writing the results beside it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLOR_BUILD_ROOT:-$here/build}/native
image=${1:-$here/samples/astronaut.png}

"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"

stem=${image%.*}
for product in halvane glimra; do
  "$build/refhost/pihost" "$build/$product.plugin.so" "$image" "$stem-$product.png"
  echo "wrote $stem-$product.png"
done
