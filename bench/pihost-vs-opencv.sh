#!/usr/bin/env bash
# pihost against OpenCV's non-local means on the same 3000 x 2000 8-bit
# photograph, each as a user runs it: a whole process that reads a PNG,
# filters it and writes a PNG.  Five runs of each, taken in turn; the median
# wall time and the peak resident memory of each, and pihost's share of
# OpenCV's time (the goal is at most 0.4).  Then the checks: pihost's output
# is the same file with the checking host (--check) and on one processor.
#
# Usage: bench/pihost-vs-opencv.sh [PRODUCT] [RUNS]   (PRODUCT: halvane, the
# default, or glimra).  Installs python3-opencv (install-deps.sh --bench) and
# builds a Release build in build/native as the main job does.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLOR_BUILD_ROOT:-$here/build}/native
product=${1:-halvane}
runs=${2:-5}
python=/usr/bin/python3  # Debian's, with python3-opencv

"$here/scripts/install-deps.sh" --bench
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target pihost halvane glimra >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
photo=$work/photo.png
# (libpng warns of the sample's colour profile; that is all it says.)
"$python" "$here/bench/opencv_nlm.py" --make "$here/samples/astronaut.png" "$photo" 3000x2000 2> >(grep -v iCCP >&2)

# Seconds and peak resident kilobytes of one command, on one line.
measure() { /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1; cat "$work/time"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/pihost" && : >"$work/opencv"
for ((i = 0; i < runs; i++)); do
  measure "$build/refhost/pihost" "$build/$product.plugin.so" "$photo" "$work/pihost.png" >>"$work/pihost"
  measure "$python" "$here/bench/opencv_nlm.py" "$photo" "$work/opencv.png" >>"$work/opencv"
done
p=$(cut -d' ' -f1 "$work/pihost" | median) o=$(cut -d' ' -f1 "$work/opencv" | median)
prss=$(cut -d' ' -f2 "$work/pihost" | median) orss=$(cut -d' ' -f2 "$work/opencv" | median)

echo "3000 x 2000 8-bit RGB photograph, whole process, median of $runs; $(nproc) processors, load average $(cut -d' ' -f1 /proc/loadavg)"
echo
echo "| program | seconds (median) | seconds (all runs) | peak RSS MB |"
echo "|---|---|---|---|"
echo "| pihost $product.plugin.so | $p | $(cut -d' ' -f1 "$work/pihost" | tr '\n' ' ')| $((prss / 1024)) |"
echo "| OpenCV fastNlMeansDenoisingColored (h 12, 7, 21) | $o | $(cut -d' ' -f1 "$work/opencv" | tr '\n' ' ')| $((orss / 1024)) |"
echo
awk -v p="$p" -v o="$o" 'BEGIN { printf "pihost takes %.2f of OpenCV'"'"'s time (goal: at most 0.40)\n", p / o }'

# The same output from the checking host and from one processor.
"$build/refhost/pihost" "$build/$product.plugin.so" "$photo" "$work/check.png" --check >/dev/null
first_cpu=$(taskset -pc $$ | sed 's/.*: //; s/[-,].*//')
taskset -c "$first_cpu" "$build/refhost/pihost" "$build/$product.plugin.so" "$photo" "$work/one.png" >/dev/null
status=0
for run in "check:the checking host (--check)" "one:one processor"; do
  if cmp -s "$work/pihost.png" "$work/${run%%:*}.png"; then
    echo "output identical with ${run#*:}"
  else
    echo "output DIFFERS with ${run#*:}" >&2
    status=1
  fi
done
exit $status
