#!/usr/bin/env bash
# The vector kernels are built once per instruction set; a set's form is
# worth its dispatch only if its code uses the set's registers.  Reads the
# built kernel objects of a build folder and fails where an AVX-512 form of a
# kernel holds no zmm instruction, or an AVX2 form no ymm instruction.  The
# kernels checked are the functions each set's namespace exports (what
# VEXLOR_KERNEL calls: the helpers are inlined into them), without the
# parts the compiler moved out of the hot path ("[clone .cold]": error and
# sanitizer paths).
#
#   check-kernel-width.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: check-kernel-width.sh BUILD_DIR}
bad=0 checked=0

# check SET REGISTER OBJECT: every exported function of isa_SET in OBJECT
# holds an instruction on a REGISTER register.
check() {
  local set=$1 register=$2 object=$3 report
  report=$(objdump -d -C --no-show-raw-insn "$object" | awk -v ns="isa_$set::" -v reg="%$register" '
    /^[0-9a-f]+ <.*>:$/ {
      if (name != "") print count, name
      name = ""
      line = $0
      sub(/^[0-9a-f]+ </, "", line)
      sub(/>:$/, "", line)
      if (index(line, ns) == 1 && index(line, ns "(anonymous namespace)") != 1 && index(line, "[clone .cold]") == 0)
        name = line
      count = 0
      next
    }
    name != "" && index($0, reg) { ++count }
    END { if (name != "") print count, name }')
  if [[ -z $report ]]; then
    echo "${object#"$build"/}: no function of isa_$set" >&2
    bad=1
    return
  fi
  while read -r count name; do
    checked=$((checked + 1))
    if ((count == 0)); then
      echo "${object#"$build"/}: $name holds no $register instruction" >&2
      bad=1
    fi
  done <<<"$report"
}

objects=0
while IFS= read -r object; do
  objects=$((objects + 1))
  case $object in
    *_avx512.dir/*) check avx512 zmm "$object" ;;
    *_avx2.dir/*) check avx2 ymm "$object" ;;
  esac
done < <(find "$build" -path '*_avx*.dir/*' -path '*/kernels/*' -name '*.o' | sort)

if ((objects == 0)); then
  echo "no AVX2 or AVX-512 kernel objects under $build (a build without the vector dispatch?)" >&2
  exit 1
fi
((bad == 0)) && echo "check-kernel-width: $checked kernels in $objects objects use their set's registers"
exit $bad
