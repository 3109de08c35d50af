#!/usr/bin/env bash
# The Windows plug-ins under Wine: the Windows reference host (pihost.exe)
# filters the sample photograph through both plug-ins, for x86-64 and x86,
# and each output is compared byte for byte with the native build's on the
# same input.  They may differ in one way only: the Windows form applies the
# noise cores' brightness ceiling as a multiplication by 1/765 where the
# native (Mac) form divides by 765, which moves a rare sample by one level.
# So an output passes when identical, or when at most one sample in a
# thousand differs, by 1.  The x86 and x86-64 outputs must be identical.
# Also checks that an alert is answered rather than left waiting, that a
# module's suite holders release what they hold when it is unloaded, and runs
# both plug-ins under the foreign host (tests/foreign), which shares no
# declaration with them: its record and tables are bytes at the offsets real
# hosts use, offered as a version-6 host and as a later one; its outputs
# obey the same rule.
# Needs no display: the script starts its own Xvfb.  Builds what is missing
# in $VEXLOR_BUILD_ROOT/{native,win-x86_64,win-i686}.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXLOR_BUILD_ROOT:-$here/build}
jobs=$(nproc)
limit=300  # seconds for any one Wine call

. "$here/scripts/common.sh"
require_tools wine wineserver Xvfb
wine=$(command -v wine) wineserver=$(command -v wineserver)
probe_wine_x86
archs=x86_64
if [ "$VEXLOR_WINE_X86" = 1 ]; then
  archs="x86_64 i686"
else
  echo "wine-test: SKIPPING the x86 runs: $VEXLOR_WINE_X86_WHY"
fi

build_targets() {  # dir, targets, cmake arguments...; configures once, then brings the targets up to date
  local dir=$1 targets=$2
  shift 2
  [ -f "$dir/CMakeCache.txt" ] || cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" --target $targets >/dev/null
}
echo "== builds for the Wine test"
build_targets "$build/native" "pihost halvane glimra"
for arch in $archs; do
  build_targets "$build/win-$arch" "pihost foreignhost halvane glimra suite_module suite_unload" \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-$arch.cmake"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/wine-test-XXXXXX")
xvfb_pid=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
  [ -d "$WINEPREFIX" ] && timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

# The input as PPM, and the native outputs to compare with.
native=$build/native
"$native/refhost/pihost" --convert "$here/samples/astronaut.png" "$work/astronaut.ppm"
for product in halvane glimra; do
  "$native/refhost/pihost" "$native/$product.plugin.so" --in "$work/astronaut.ppm" \
    --out "$work/native-$product.ppm" >"$work/native-$product.log" 2>&1 ||
    { cat "$work/native-$product.log" >&2; echo "wine-test: the native $product run failed" >&2; exit 1; }
done

# A display of our own: Xvfb picks a free number and tells it on fd 3.  The
# filter dialog is at least its template's 854 x 836 and is driven up to
# 1920 x 1080.
Xvfb -displayfd 3 -nolisten tcp -screen 0 2560x1600x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "wine-test: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(tr -dc 0-9 <"$work/display")

# Wine's own fonts (Debian's fonts-wine) in the prefix: the dialogs ask for
# "MS Sans Serif", and without Wine's a wider substitute opens them larger and
# cuts their texts.  This Wine does not load them from where the package
# puts them, so they go into the prefix's Fonts folder.
wine_fonts_into_prefix() {
  local fonts=/usr/share/wine/fonts
  if [ ! -f "$fonts/sserife.fon" ]; then
    echo "wine-test: Wine's fonts are missing from $fonts (scripts/install-deps.sh --wine installs fonts-wine)" >&2
    exit 1
  fi
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/"
}

echo "== fresh Wine prefix"
start=$(now)
timeout -k 10 "$limit" "$wine" wineboot --init </dev/null >"$work/wineboot.log" 2>&1 ||
  { cat "$work/wineboot.log" >&2; echo "wine-test: creating the prefix failed" >&2; exit 1; }
# No window manager runs on this display: Wine would wait two seconds for one
# at each hide of a managed window, every dialog's and every alert's close.
timeout -k 10 "$limit" "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null \
  >>"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; echo "wine-test: cannot set up the prefix" >&2; exit 1; }
timeout -k 10 "$limit" "$wineserver" -w
wine_fonts_into_prefix
prefix_time=$(since "$start")
echo "prefix created in $prefix_time s"

# Two 8-bit PPM files of the same size: "COUNT LARGEST", the samples that
# differ and the largest difference.
sample_differences() {
  cmp -l "$1" "$2" | awk '
    function oct(s,  v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 8 + substr(s, i, 1); return v }
    { d = oct($2) - oct($3); if (d < 0) d = -d; if (d > m) m = d; n++ }
    END { printf "%d %d\n", n, m }'
}

failures=0 identical=0 close=0 runs=0 largest=0 timings=
# One Wine output against the native one, by the rule above: label, output,
# native output, seconds taken.
judge() {
  local label=$1 out=$2 native=$3 took=$4 count diff samples
  if cmp -s "$out" "$native"; then
    echo "$label: identical to the native output (${took} s)"
    identical=$((identical + 1))
  elif [ "$(wc -c <"$out")" != "$(wc -c <"$native")" ]; then
    echo "$label: DIFFERENT, the files differ in size (${took} s)"
    failures=$((failures + 1))
  else
    read -r count diff < <(sample_differences "$out" "$native")
    samples=$(($(wc -c <"$out") - $(head -n 3 "$out" | wc -c)))  # less the header
    [ "$diff" -gt "$largest" ] && largest=$diff
    if [ "$diff" -le 1 ] && [ $((count * 1000)) -le "$samples" ]; then
      echo "$label: $count of $samples samples differ, by 1, within what the 1/765 multiplication gives (${took} s)"
      close=$((close + 1))
    else
      echo "$label: DIFFERENT, $count of $samples samples differ, largest difference $diff (${took} s)"
      failures=$((failures + 1))
    fi
  fi
}

for arch in $archs; do
  dir=$work/$arch
  mkdir -p "$dir"
  cp "$build/win-$arch/refhost/pihost.exe" "$build/win-$arch/halvane.8bf" "$build/win-$arch/glimra.8bf" \
    "$build/win-$arch/tests/foreign/foreignhost.exe" "$build/win-$arch/tests/host/suite_module/suite_module.8bf" \
    "$build/win-$arch/tests/host/suite_module/suite_unload.exe" "$work/astronaut.ppm" "$dir/"
  for product in halvane glimra; do
    runs=$((runs + 1))
    start=$(now)
    rc=0
    (cd "$dir" && timeout -k 10 "$limit" "$wine" pihost.exe "$product.8bf" --in astronaut.ppm \
      --out "$product.ppm" </dev/null >"$product.log" 2>&1) || rc=$?
    took=$(since "$start")
    timings="$timings $product-$arch ${took}s"
    if [ "$rc" -ne 0 ] || [ ! -f "$dir/$product.ppm" ]; then
      cat "$dir/$product.log" >&2
      echo "$product ($arch): FAILED, exit status $rc$([ "$rc" -eq 124 ] && echo ', timed out') (${took} s)"
      failures=$((failures + 1))
    else
      judge "$product ($arch)" "$dir/$product.ppm" "$work/native-$product.ppm" "$took"
    fi
  done

  # The foreign host: four runs per module in one process (a version-6
  # record, a later one with big-document data, and two that check the
  # scripting and registry values read back); the first two write images.
  for product in halvane glimra; do
    start=$(now)
    rc=0
    (cd "$dir" && timeout -k 10 "$limit" "$wine" foreignhost.exe "$product.8bf" astronaut.ppm "foreign-$product" \
      </dev/null >"foreign-$product.log" 2>&1) || rc=$?
    took=$(since "$start")
    timings="$timings foreign-$product-$arch ${took}s"
    if [ "$rc" -ne 0 ]; then
      cat "$dir/foreign-$product.log" >&2
      echo "$product ($arch, foreign host): FAILED, exit status $rc$([ "$rc" -eq 124 ] && echo ', timed out') (${took} s)"
      failures=$((failures + 1))
      continue
    fi
    echo "$product ($arch, foreign host): $(tail -n 1 "$dir/foreign-$product.log")"
    for form in v6 big; do
      runs=$((runs + 1))
      judge "$product ($arch, foreign host, $form record)" "$dir/foreign-$product-$form.ppm" \
        "$work/native-$product.ppm" "$took"
    done
  done

  # A module's suite holders give back at unload what they acquired.
  rc=0
  (cd "$dir" && timeout -k 10 "$limit" "$wine" suite_unload.exe suite_module.8bf </dev/null >suites.log 2>&1) || rc=$?
  if [ "$rc" -eq 0 ]; then
    echo "suite holders ($arch): $(tail -n 1 "$dir/suites.log")"
  else
    cat "$dir/suites.log" >&2
    echo "suite holders ($arch): FAILED, exit status $rc"
    failures=$((failures + 1))
  fi

  # An alert (four planes are refused) must be answered, recorded and not block.
  for product in halvane glimra; do
    start=$(now)
    rc=0
    (cd "$dir" && timeout -k 10 "$limit" "$wine" pihost.exe "$product.8bf" --mode cmyk \
      </dev/null >"alert-$product.log" 2>&1) || rc=$?
    took=$(since "$start")
    if [ "$rc" -ne 124 ] && grep -q '^alert: (Vexlor) Unexpected number of image planes\.' "$dir/alert-$product.log"; then
      echo "$product ($arch): the alert was answered and recorded (${took} s)"
    else
      cat "$dir/alert-$product.log" >&2
      echo "$product ($arch): FAILED, the alert was not answered (exit status $rc, ${took} s)"
      failures=$((failures + 1))
    fi
  done

  # Runs that share a registry take turns with it (a lock on a file beside
  # it): four at once, two of each product, keep every entry of both, as a
  # run of each on its own writes them.
  rc=0
  for product in halvane glimra; do
    (cd "$dir" && timeout -k 10 "$limit" "$wine" pihost.exe "$product.8bf" --size 40x30 --registry registry-solo.txt \
      </dev/null >"solo-$product.log" 2>&1) || rc=$?
  done
  pids=
  for i in 1 2 3 4; do
    product=$([ $((i % 2)) = 0 ] && echo halvane || echo glimra)
    (cd "$dir" && timeout -k 10 "$limit" "$wine" pihost.exe "$product.8bf" --size 40x30 \
      --registry registry-shared.txt </dev/null >"shared-$i.log" 2>&1) &
    pids="$pids $!"
  done
  for pid in $pids; do wait "$pid" || rc=$?; done
  if [ "$rc" -eq 0 ] &&
    cmp -s <(cut -d' ' -f1 "$dir/registry-solo.txt" | sort) <(cut -d' ' -f1 "$dir/registry-shared.txt" | sort); then
    echo "registry ($arch): four runs at once on one registry kept every entry of both products"
  else
    cat "$dir"/solo-*.log "$dir"/shared-*.log >&2
    echo "registry ($arch): FAILED, runs sharing a registry lost entries (exit status $rc)"
    failures=$((failures + 1))
  fi
done

# --- Settings files and their dialogs -------------------------------------
# A settings file written under Wine is the native build's byte for byte and
# each build loads the other's; the file dialogs of each architecture run are
# driven by a hook in settings_check.exe (it names the file, presses Save,
# Open, Cancel or No, and takes screenshots, kept in $build/wine-settings);
# dialogs that fail (comdlg32 missing, or a stand-in comdlg32.dll whose
# dialogs fail) are reported.  Sets settings_summary; counts into failures.
settings_files_under_wine() {
  local shots=$build/wine-settings arch product dir rc shot
  require_tools convert
  cmake --build "$build/native" -j"$jobs" --target settings_check_halvane settings_check_glimra >/dev/null
  for arch in $archs; do
    cmake --build "$build/win-$arch" -j"$jobs" --target settings_check_halvane settings_check_glimra fake_comdlg32 \
      >/dev/null
  done
  rm -rf "$shots"
  settings_summary="settings files:"
  for arch in $archs; do
    dir=$work/settings-$arch
    mkdir -p "$dir/stand-in" "$shots/$arch"
    cp "$build/win-$arch"/tests/wine/settings_check_*.exe "$dir/"
    cp "$build/win-$arch/tests/wine/comdlg32.dll" "$build/win-$arch/tests/wine/settings_check_halvane.exe" "$dir/stand-in/"
    for product in halvane glimra; do
      local native=$build/native/tests/wine/settings_check_$product ext
      ext=$([ "$product" = halvane ] && echo hlv || echo glm)
      "$native" show >"$dir/$product-expected.txt"
      "$native" write "$dir/native.$ext"
      rc=0
      (cd "$dir" && timeout -k 10 "$limit" "$wine" "settings_check_$product.exe" write "wine.$ext" &&
        timeout -k 10 "$limit" "$wine" "settings_check_$product.exe" read "native.$ext" | tr -d '\r' \
          >"$product-wine-read.txt") </dev/null >"$dir/$product-exchange.log" 2>&1 || rc=$?
      if [ "$rc" -eq 0 ] && cmp -s "$dir/native.$ext" "$dir/wine.$ext" &&
        cmp -s "$dir/$product-wine-read.txt" "$dir/$product-expected.txt" &&
        "$native" read "$dir/wine.$ext" | cmp -s - "$dir/$product-expected.txt"; then
        echo "$product ($arch): the Windows build's settings file is the native one's, and each loads the other's bit for bit"
      else
        cat "$dir/$product-exchange.log" >&2
        echo "$product ($arch): FAILED, the settings files of the Windows and native builds differ (exit status $rc)"
        failures=$((failures + 1))
      fi
    done
    rc=0
    (cd "$dir" && timeout -k 10 "$limit" "$wine" settings_check_halvane.exe dialogs . &&
      WINEDLLOVERRIDES="$WINEDLLOVERRIDES;comdlg32=d" timeout -k 10 "$limit" "$wine" settings_check_halvane.exe no-dialog &&
      cd stand-in && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;comdlg32=n" timeout -k 10 "$limit" "$wine" \
        settings_check_halvane.exe dialog-error) </dev/null >"$dir/dialogs.log" 2>&1 || rc=$?
    for shot in "$dir"/*.bmp; do
      [ -f "$shot" ] && convert "$shot" "$shots/$arch/$(basename "${shot%.bmp}").png"
    done
    if [ "$rc" -eq 0 ]; then
      echo "settings dialogs ($arch): $(grep -c '^ok:' "$dir/dialogs.log") checks passed; screenshots in $shots/$arch"
    else
      grep -v '^wine: Read access denied' "$dir/dialogs.log" >&2
      echo "settings dialogs ($arch): FAILED (exit status $rc)"
      failures=$((failures + 1))
    fi
    settings_summary="$settings_summary $arch $([ "$rc" -eq 0 ] && echo passed || echo FAILED);"
  done
}
# --- end of settings files -------------------------------------------------
settings_files_under_wine

# ---------------------------------------------------------------------------
# The preview on a fixed fixture (tests/wine/preview_check.cpp): set-up at
# zoom 2, a recompute, a pan and a paint of Glimra's preview.  Its proxies
# and pictures must equal the native build's, or differ as the 1/765 rule
# above allows; x86 must equal x86-64.
echo "== the preview under Wine"
cmake --build "$native" -j"$jobs" --target preview_check >/dev/null
"$native/tests/wine/preview_check" "$work/native-preview.bin" >"$work/native-preview.log" 2>&1 ||
  { cat "$work/native-preview.log" >&2; echo "wine-test: the native preview check failed" >&2; exit 1; }
for arch in $archs; do
  cmake --build "$build/win-$arch" -j"$jobs" --target preview_check >/dev/null
  dir=$work/$arch
  cp "$build/win-$arch/tests/wine/preview_check.exe" "$dir/"
  runs=$((runs + 1))
  start=$(now)
  rc=0
  (cd "$dir" && timeout -k 10 "$limit" "$wine" preview_check.exe preview.bin </dev/null >preview.log 2>&1) || rc=$?
  took=$(since "$start")
  timings="$timings preview-$arch ${took}s"
  if [ "$rc" -ne 0 ] || [ ! -f "$dir/preview.bin" ]; then
    cat "$dir/preview.log" >&2
    echo "preview ($arch): FAILED, exit status $rc (${took} s)"
    failures=$((failures + 1))
  elif cmp -s "$dir/preview.bin" "$work/native-preview.bin"; then
    echo "preview ($arch): proxies and pictures identical to the native build's (${took} s)"
    identical=$((identical + 1))
  elif [ "$(wc -c <"$dir/preview.bin")" != "$(wc -c <"$work/native-preview.bin")" ]; then
    echo "preview ($arch): DIFFERENT, the files differ in size (${took} s)"
    failures=$((failures + 1))
  else
    read -r count diff < <(sample_differences "$dir/preview.bin" "$work/native-preview.bin")
    samples=$(wc -c <"$dir/preview.bin")
    [ "$diff" -gt "$largest" ] && largest=$diff
    if [ "$diff" -le 1 ] && [ $((count * 1000)) -le "$samples" ]; then
      echo "preview ($arch): $count of $samples bytes differ, by 1, within the 1/765 rule (${took} s)"
      close=$((close + 1))
    else
      echo "preview ($arch): DIFFERENT, $count of $samples bytes differ, largest difference $diff (${took} s)"
      failures=$((failures + 1))
    fi
  fi
done
if [ -f "$work/x86_64/preview.bin" ] && [ -f "$work/i686/preview.bin" ] &&
  ! cmp -s "$work/x86_64/preview.bin" "$work/i686/preview.bin"; then
  echo "preview: the x86 proxies and pictures DIFFER from the x86-64 ones"
  failures=$((failures + 1))
fi
# ---------------------------------------------------------------------------

# --- Texts of the filter dialog in its own font -----------------------------
# Every text of the dialog whole in MS Sans Serif at the template's size, in
# both layouts (tests/wine/dialog/texts-*.txt); the screenshots of both
# layouts at that size are kept.  dialog_under_wine calls it for each
# product and architecture with its steer, dir, arch and shots.
dialog_texts_fit() {
  local product=$1 shot
  steer "$product" "texts-$product.txt" "texts-$product" --in astronaut.ppm &&
    echo "dialog $product ($arch): every text whole in MS Sans Serif at the template's size, simple and advanced layouts"
  for shot in "$dir/texts-$product-"*.ppm; do
    if [ -f "$shot" ]; then convert "$shot" "$shots/$arch/$(basename "${shot%.ppm}").png"; fi
  done
}
# --- end of texts of the filter dialog --------------------------------------

# --- The filter dialog, steered by script -----------------------------------
# pihost.exe --dialog-script runs each product's dialog under Wine and steers
# it from a host thread (tests/wine/dialog/*.txt): controls on open, sliders,
# typing, labels, boxes, commands, Save and Load, zoom and wheel, drags, Show
# Original and Show Advanced, sizing and resizing, Enter and Escape, zoom 3
# from the registry, a dialog that cannot be created.  Enter's
# output must equal a run without the dialog on the same values.  Every
# display at zoom 1, 2 and 4 on grey, RGB, Lab, 16- and 32-bit documents must
# pass the host's buffer check; every host buffer refused in turn while the
# dialog opens, recomputes, pans and paints must leave the dialog working,
# with at most one alert owned by the dialog and no buffer left, and with the
# pictures last painted on the screen; a refused recompute stops the
# dialog's updates and paints.  The latency from a slider change to the
# painted preview is measured last.
# Screenshots (PNG) are kept in $build/wine-dialog.  Sets dialog_summary.
dialog_under_wine() {
  local shots=$build/wine-dialog scripts=$here/tests/wine/dialog arch product dir rc log set
  local checks=0 cases=0
  require_tools convert
  rm -rf "$shots"
  dialog_summary="dialog:"
  # One steered run: product, script, log name, extra pihost arguments.  It
  # passes when the script ran to its end with no failed check.
  steer() {
    local product=$1 script=$2 name=$3
    shift 3
    local attempt
    for attempt in 1 2; do
      rc=0
      (cd "$dir" && timeout -k 10 "$limit" "$wine" pihost.exe "$product.8bf" --dialog-script "$script" \
        --shots "$name-" "$@" </dev/null >"$name.log" 2>&1) || rc=$?
      # Now and then, on a busy machine, Wine fails to start the program at
      # all and falls back to its shell launcher; pihost.exe has then not run
      # a line, so it is started once more.  Anything pihost.exe printed
      # counts as its run.
      [ "$attempt" = 1 ] && [ "$rc" -ne 0 ] && grep -q 'ShellExecuteEx failed' "$dir/$name.log" &&
        ! grep -qE '^(plugin|dialog script|pihost):' "$dir/$name.log" || break
      echo "dialog $name ($arch): Wine could not start pihost.exe ($(tr -d '\r' <"$dir/$name.log" | head -n 1)); started again"
    done
    if grep -q '^dialog script: [0-9]* check(s) passed, 0 failed' "$dir/$name.log" && [ "$rc" -ne 124 ]; then
      checks=$((checks + $(sed -n 's/^dialog script: \([0-9]*\) check.*/\1/p' "$dir/$name.log")))
      return 0
    fi
    # Why: the failed checks, or, where the run never reached the script's
    # summary, how its log ends.
    local why
    if [ "$rc" -eq 124 ]; then
      why="timed out after $limit s"
    elif grep -q '^dialog script: ' "$dir/$name.log"; then
      why=$(sed -n 's/^dialog script: //p' "$dir/$name.log" | tr -d '\r')
    else
      why="the run ended before the script's summary"
    fi
    grep -E '^FAILED|^pihost:|^leaks|^  ' "$dir/$name.log" >&2 || { echo "$name.log ends:"; tail -n 8 "$dir/$name.log"; } >&2
    echo "dialog $name ($arch): FAILED (exit status $rc, $why)"
    failures=$((failures + 1))
    return 1
  }
  for arch in $archs; do
    checks=0
    dir=$work/dialog-$arch
    mkdir -p "$dir" "$shots/$arch"
    cp "$build/win-$arch/refhost/pihost.exe" "$build/win-$arch/halvane.8bf" "$build/win-$arch/glimra.8bf" \
      "$work/astronaut.ppm" "$scripts"/*.txt "$dir/"
    # The plug-in registers the trackbar class itself: a host that loaded the
    # common controls would hide a plug-in that forgets.
    if "$arch-w64-mingw32-objdump" -p "$dir/pihost.exe" | grep -qi 'DLL Name: comctl32'; then
      echo "dialog ($arch): FAILED, pihost.exe imports comctl32"
      failures=$((failures + 1))
    fi
    for product in halvane glimra; do
      # The whole dialog, ending with Enter; then the same values without it.
      if steer "$product" "$product.txt" "$product" --in astronaut.ppm --out "$product-dialog.ppm" --print-params; then
        set=$(sed -n '/^parameter block:/,/^handles:/p' "$dir/$product.log" | tr -d '\r' |
          awk '$1 ~ /^[A-Za-z0-9][A-Za-z0-9][A-Za-z0-9][A-Za-z0-9]$/ { v = $2; if (NR <= 10) v = ($2 == 1 ? "true" : "false"); printf " --set %s=%s", $1, v }')
        rc=0
        # shellcheck disable=SC2086
        (cd "$dir" && timeout -k 10 "$limit" "$wine" pihost.exe "$product.8bf" --in astronaut.ppm \
          --out "$product-plain.ppm" $set </dev/null >"$product-plain.log" 2>&1) || rc=$?
        if [ "$rc" -eq 0 ] && cmp -s "$dir/$product-dialog.ppm" "$dir/$product-plain.ppm"; then
          echo "dialog $product ($arch): every step passed; Enter filtered as a run without the dialog on the same values"
        else
          echo "dialog $product ($arch): FAILED, Enter's output differs from a run on the same values (exit status $rc)"
          failures=$((failures + 1))
        fi
      fi
      steer "$product" "escape-$product.txt" "escape-$product" --in astronaut.ppm --registry "registry-$product.txt" &&
        echo "dialog $product ($arch): Escape gave -128 with the parameters and the registry as found"
      # Zoom 3 only comes back from the registry: the Escape run's, its zoom
      # factor made 3.
      if grep -q $'\tZmsz long ' "$dir/registry-$product.txt" 2>/dev/null; then
        sed -i $'s/\tZmsz long .*/\tZmsz long 3/' "$dir/registry-$product.txt"
        steer "$product" zoom3.txt "zoom3-$product" --in astronaut.ppm --registry "registry-$product.txt" &&
          echo "dialog $product ($arch): zoom 3 from the registry displayed as 3 x 3 blocks; the wheel left it for 2"
      else
        echo "dialog $product ($arch): FAILED, the registry kept no zoom factor"
        failures=$((failures + 1))
      fi
      steer "$product" no-dialog.txt "no-dialog-$product" --in astronaut.ppm &&
        echo "dialog $product ($arch): a dialog that could not be created was alerted and gave -128, parameters and registry as found"
      steer "$product" "refused-recompute-$product.txt" "refused-recompute-$product" --in astronaut.ppm &&
        echo "dialog $product ($arch): a recompute refused its buffer: both pictures stayed on the screen as painted, no update or paint followed"
      dialog_texts_fit "$product"
      # Every document kind at zoom 1, 2 and 4.
      local kinds="rgb:8 gray:8 lab:8 rgb:16 rgb:32" kind ok=1
      for kind in $kinds; do
        steer "$product" zooms.txt "zooms-$product-${kind%:*}${kind#*:}" --in astronaut.ppm \
          --mode "${kind%:*}" --depth "${kind#*:}" || ok=0
      done
      [ "$ok" = 1 ] && echo "dialog $product ($arch): displays at zoom 1, 2, 4 on $kinds passed the host's check"
    done
    # Each host buffer refused in turn, every one of them, on both products:
    # while opening, in a recompute, a pan and a paint.  A first run of each
    # phase counts the buffers it allocates; then one run per buffer refuses
    # it, and must have refused it unless that run allocated fewer (how
    # often a drag paints depends on the timing of its messages).  Odd cases
    # end with Escape, even ones with Enter.
    local phase k count key slider ok
    for product in halvane glimra; do
      ok=1 cases=0
      slider=$([ "$product" = halvane ] && echo 21 || echo 141)
      for phase in open recompute pan paint; do
        refusal_steps() {  # the phase's commands, refusing buffer $1 (0: none)
          local refuse=
          [ "$1" = 0 ] || refuse="refuse-buffer $1"
          case $phase in
            open) [ "$1" = 0 ] || printf 'open-refuse-buffer %s\n' "$1"; printf 'settle\n' ;;
            recompute) printf 'mark\n%s\nslider %s 120\n' "$refuse" "$slider" ;;
            pan) printf 'click 917\nmark\n%s\nmouse ldown 900 0 0\nmouse lmove 900 30 20\nmouse lup 900 30 20\n' "$refuse" ;;
            paint) printf 'mark\n%s\nclick 901\n' "$refuse" ;;
          esac
          # What failed leaves the pictures last painted on the screen.
          [ "$phase" = open ] || printf 'expect-pictures-shown\n'
        }
        { refusal_steps 0; printf 'print-buffers\nescape\n'; } >"$dir/census-$product-$phase.txt"
        steer "$product" "census-$product-$phase.txt" "census-$product-$phase" --in astronaut.ppm || { ok=0; continue; }
        count=$(grep -c '^buffer: allocate' "$dir/census-$product-$phase.log" || true)
        if [ "$count" -lt 1 ]; then
          echo "dialog $product ($arch): FAILED, no host buffer allocated while the dialog ${phase}s"
          failures=$((failures + 1)) ok=0
          continue
        fi
        for k in $(seq "$count"); do
          key=$([ $((k % 2)) = 0 ] && echo enter || echo escape)
          { refusal_steps "$k"
            printf 'print-buffers\nexpect-alerts-at-most 1\nexpect-no-faults\n%s\n' "$key"
            printf 'after-no-live-buffers\nafter-no-faults\n'
          } >"$dir/refuse-$product-$phase-$k.txt"
          steer "$product" "refuse-$product-$phase-$k.txt" "refuse-$product-$phase-$k" --in astronaut.ppm || { ok=0; continue; }
          log=$dir/refuse-$product-$phase-$k.log
          if grep -q '^buffer: refused' "$log"; then
            cases=$((cases + 1))
          elif [ "$(grep -c '^buffer: allocate' "$log")" -ge "$k" ]; then
            echo "dialog refuse-$product-$phase-$k ($arch): FAILED, the buffer was not refused"
            failures=$((failures + 1)) ok=0
          fi
        done
      done
      [ "$ok" = 1 ] && echo "dialog $product ($arch): each of $cases host buffers refused while opening, recomputing, panning and painting: no fault, no leak, at most one alert owned by the dialog, OK and Cancel work"
    done
    if [ "$arch" = x86_64 ]; then
      for product in halvane glimra; do
        steer "$product" "latency-$product.txt" "latency-$product" --in astronaut.ppm &&
          sed -n "s/^latency: /dialog $product ($arch) latency: /p" "$dir/latency-$product.log"
      done
    fi
    for shot in "$dir"/*.ppm; do
      case $(basename "$shot") in *-zoom*.ppm | *-advanced.ppm | *-shrunk.ppm | *-refused.ppm) convert "$shot" "$shots/$arch/$(basename "${shot%.ppm}").png" ;; esac
    done
    dialog_summary="$dialog_summary $arch $checks checks;"
  done
  echo "dialog: screenshots in $shots"
}
# --- end of the filter dialog -----------------------------------------------
dialog_under_wine

# --- A person's hands on the filter dialog ----------------------------------
# tests/wine/dialog/input-*.txt steer each product's dialog with real input
# (SendInput, as Wine's X11 driver delivers the X server's pointer and keys):
# slider drags, track clicks, arrow and page keys, pans, the eyedropper
# modes' cursors and the size grip, on both architectures.  The screenshots
# taken during the drags are kept as PNG in $build/wine-dialog.  Runs through
# the filter dialog's steer; adds to dialog_summary.
person_input_under_wine() {
  local shots=$build/wine-dialog arch product dir shot checks
  for arch in $archs; do
    checks=0
    dir=$work/input-$arch
    mkdir -p "$dir" "$shots/$arch"
    cp "$build/win-$arch/refhost/pihost.exe" "$build/win-$arch/halvane.8bf" "$build/win-$arch/glimra.8bf" \
      "$work/astronaut.ppm" "$here"/tests/wine/dialog/input-*.txt "$dir/"
    for product in halvane glimra; do
      steer "$product" "input-$product.txt" "input-$product" --in astronaut.ppm &&
        echo "dialog $product ($arch): a person's slider drags, track clicks, keys, pans, cursors and size grip passed"
    done
    for shot in "$dir"/*.ppm; do
      [ -f "$shot" ] && convert "$shot" "$shots/$arch/$(basename "${shot%.ppm}").png"
    done
    dialog_summary="$dialog_summary $arch $checks input checks;"
  done
}
person_input_under_wine

timeout 30 "$wineserver" -k >/dev/null 2>&1 || true

# Both Windows builds are the Windows form with SSE2 arithmetic: x86 must
# compute as x86-64 does, to the bit.
compared="x86 and x86-64 outputs identical"
[ "$VEXLOR_WINE_X86" = 1 ] || compared="x86 not run ($VEXLOR_WINE_X86_WHY)"
for product in halvane glimra; do
  a=$work/x86_64/$product.ppm b=$work/i686/$product.ppm
  [ -f "$a" ] && [ -f "$b" ] || continue
  if ! cmp -s "$a" "$b"; then
    read -r count diff < <(sample_differences "$a" "$b")
    echo "$product: the x86 output DIFFERS from the x86-64 output in $count samples, largest difference $diff"
    compared="x86 and x86-64 outputs DIFFER"
    failures=$((failures + 1))
  fi
done

summary="$identical of $runs Wine runs identical to the native build, $close within one level (largest difference $largest); $compared"
if [ "$failures" -eq 0 ]; then
  echo "wine-test: passed: $summary; alerts answered; $settings_summary $dialog_summary (prefix ${prefix_time}s, runs:$timings)"
else
  echo "wine-test: FAILED, $failures problem(s): $summary"
  exit 1
fi
