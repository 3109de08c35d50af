#!/usr/bin/env bash
# The plug-in's folders are layers, and a file includes only from its own
# folder or from a lower layer:
#   platform -> host -> image -> engine -> halvane, glimra -> preview -> entry
#   -> dialog (what both platforms' dialogs share) -> mac, win (the platform
#   forms of the entry points and dialogs)
# Halvane and Glimra are one layer and never include each other.  An include
# without a folder ("PIFilter.h", "Carbon.h") is the platform's.
#
#   check-layers.sh [ROOT]     check the tree at ROOT (default: this one)
#   check-layers.sh --self-test
#                              show that a planted bad include is caught
set -euo pipefail

declare -A rank=([platform]=0 [host]=1 [image]=2 [engine]=3 [halvane]=4 [glimra]=4 [preview]=5 [entry]=6
  [dialog]=7 [mac]=8 [win]=8)

check() {
  local root=$1 bad=0 file folder line target
  for folder in "${!rank[@]}"; do
    [[ -d $root/$folder ]] || continue
    while IFS= read -r file; do
      while IFS= read -r line; do
        included=$(sed -E 's/^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")
        [[ $included == */* ]] || continue
        target=${included%%/*}
        [[ $target == "$folder" ]] && continue
        if [[ -z ${rank[$target]+set} ]]; then
          echo "${file#"$root"/}:${line%%:*}: includes $included: $target/ is no layer of the plug-in" >&2
          bad=1
        elif ((rank[$target] >= rank[$folder])); then
          echo "${file#"$root"/}:${line%%:*}: $folder/ includes $included, from a layer not below its own" >&2
          bad=1
        fi
      done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \))
  done
  return $bad
}

if [[ ${1-} == --self-test ]]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp"/{host,image,engine,halvane,glimra,entry,dialog}
  printf '#include "PIFilter.h"\n#include "host/globals.h"\n' >"$tmp/image/a.cpp"
  printf '#include "image/a.h"\n#include "engine/b.h"\n' >"$tmp/halvane/c.cpp"
  check "$tmp" || { echo "self-test: a sound tree was refused" >&2; exit 1; }
  for plant in 'host/x.h:#include "entry/globals.h"' 'engine/x.cpp:  #  include "halvane/x.h"' \
               'halvane/x.cpp:#include "glimra/x.h"' 'image/x.h:#include "image/y.h"
#include "engine/z.h"' 'entry/x.cpp:#include "tests/x.h"' 'dialog/x.cpp:#include "win/x.h"'; do
    echo "${plant#*:}" >"$tmp/${plant%%:*}"
    if check "$tmp" 2>/dev/null; then
      echo "self-test: ${plant%%:*} with ${plant#*:} was not caught" >&2
      exit 1
    fi
    rm "$tmp/${plant%%:*}"
  done
  echo "self-test: every planted include was caught"
  exit 0
fi

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
check "$root" && echo "every include goes to the file's own folder or a lower layer"
