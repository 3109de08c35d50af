# Sourced by the test scripts: the tool check and the one probe of whether
# this machine can run 32-bit Windows programs.

# Fails at once, naming every tool that is missing, rather than at the first
# stage that needs one.
require_tools() {
  local missing=() tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$(basename "$0"): missing tools: ${missing[*]} (scripts/install-deps.sh --windows --wine --fuzz installs them)" >&2
    exit 1
  fi
}

# Sets VEXLOR_WINE_X86 to 1 where Wine can start an x86 program, else to 0
# and VEXLOR_WINE_X86_WHY to the reason.  Some kernels have no 32-bit
# support at all: there the 32-bit loader fails with "Exec format error"
# whatever is installed.  Probed once; a value in the environment is kept.
probe_wine_x86() {
  [ -n "${VEXLOR_WINE_X86:-}" ] && return 0
  local out
  if [ ! -x /usr/lib/wine/wine ]; then
    VEXLOR_WINE_X86=0 VEXLOR_WINE_X86_WHY="no 32-bit Wine loader (/usr/lib/wine/wine)"
  elif out=$(/usr/lib/wine/wine --version 2>&1); then
    VEXLOR_WINE_X86=1 VEXLOR_WINE_X86_WHY=
  else
    VEXLOR_WINE_X86=0 VEXLOR_WINE_X86_WHY="this machine cannot run 32-bit programs ($(head -n 1 <<<"$out"))"
  fi
  export VEXLOR_WINE_X86 VEXLOR_WINE_X86_WHY
}
