#!/usr/bin/env bash
# The plug-in's folders are layers, and a file includes only from its own
# folder or from a lower layer:
#   platform -> host -> image -> engine -> halvane, glimra -> preview -> entry
#   -> dialog (what both platforms' dialogs share) -> mac, win (the platform
#   forms of the entry points and dialogs)
# Halvane and Glimra are one layer and never include each other.  An include
# without a folder ("PIFilter.h", "Carbon.h") is the platform's.
# Inside preview/ the files are layers of their own, and a file includes
# only its own header and the files below it:
#   nearest_sample -> proxy (the state, the buffers, the shown rectangle and
#   the zoom) -> preview_dialog (what the preview asks of the dialog) ->
#   overview -> proxy_source (the set-up, the source read, the pans) ->
#   paint, proxy_persistence, proxy_recompute
#
#   check-layers.sh [ROOT]     check the tree at ROOT (default: this one)
#   check-layers.sh --self-test
#                              show that a planted bad include is caught
set -euo pipefail

declare -A rank=([platform]=0 [host]=1 [image]=2 [engine]=3 [halvane]=4 [glimra]=4 [preview]=5 [entry]=6
  [dialog]=7 [mac]=8 [win]=8)
declare -A fileRank=([preview/nearest_sample]=0 [preview/proxy]=1 [preview/preview_dialog]=2 [preview/overview]=3
  [preview/proxy_source]=4 [preview/paint]=5 [preview/proxy_persistence]=5 [preview/proxy_recompute]=5)
declare -A ordered=([preview]=1)

stem() { local name=${1##*/}; echo "${name%.*}"; }

check() {
  local root=$1 bad=0 file folder line target from to
  refuse() { echo "${file#"$root"/}:${line%%:*}: $1" >&2; bad=1; }
  for folder in "${!rank[@]}"; do
    [[ -d $root/$folder ]] || continue
    while IFS= read -r file; do
      while IFS= read -r line; do
        included=$(sed -E 's/^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")
        [[ $included == */* ]] || continue
        target=${included%%/*}
        if [[ $target == "$folder" ]]; then
          [[ -n ${ordered[$folder]+set} ]] || continue
          from=$folder/$(stem "$file") to=$folder/$(stem "$included")
          [[ $from == "$to" ]] && continue
          if [[ -z ${fileRank[$from]+set} ]]; then
            refuse "includes $included, but $from has no place in $folder/'s order"
          elif [[ -z ${fileRank[$to]+set} ]]; then
            refuse "includes $included, which has no place in $folder/'s order"
          elif ((fileRank[$to] >= fileRank[$from])); then
            refuse "$from includes $included, from a file not below it"
          fi
          continue
        fi
        if [[ -z ${rank[$target]+set} ]]; then
          refuse "includes $included: $target/ is no layer of the plug-in"
        elif ((rank[$target] >= rank[$folder])); then
          refuse "$folder/ includes $included, from a layer not below its own"
        fi
      done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \))
  done
  return $bad
}

if [[ ${1-} == --self-test ]]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp"/{host,image,engine,halvane,glimra,preview,entry,dialog}
  printf '#include "PIFilter.h"\n#include "host/globals.h"\n' >"$tmp/image/a.cpp"
  printf '#include "image/a.h"\n#include "engine/b.h"\n' >"$tmp/halvane/c.cpp"
  printf '#include "preview/overview.h"\n#include "preview/proxy.h"\n#include "image/a.h"\n' >"$tmp/preview/overview.cpp"
  check "$tmp" || { echo "self-test: a sound tree was refused" >&2; exit 1; }
  for plant in 'host/x.h:#include "entry/globals.h"' 'engine/x.cpp:  #  include "halvane/x.h"' \
               'halvane/x.cpp:#include "glimra/x.h"' 'image/x.h:#include "image/y.h"
#include "engine/z.h"' 'entry/x.cpp:#include "tests/x.h"' 'dialog/x.cpp:#include "win/x.h"' \
               'preview/proxy.cpp:#include "preview/overview.h"' 'preview/paint.cpp:#include "preview/proxy_recompute.h"' \
               'preview/extra.cpp:#include "preview/proxy.h"' 'preview/proxy_source.cpp:#include "preview/extra.h"'; do
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
check "$root" && echo "every include goes to a lower layer or inside its own folder, in preview/ to a file below"
