#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where missing.
# Usage: install-deps.sh [--windows] [--wine] [--fuzz] [--qemu] [--bench]
# --windows: the mingw-w64 cross compilers, and the source of Little CMS for
# the Windows pihost (Debian has no mingw-w64 build of the library): Debian's
# source package, unpacked with its patches into $VEXLOR_LCMS2_SOURCE
# (default /usr/local/src/lcms2), which the cross builds compile.
# --qemu: qemu-user, whose emulated processors without AVX-512 or AVX run the
# modules' narrower kernels.
# --bench: OpenCV for Python, the comparison of bench/pihost-vs-opencv.sh only.
set -euo pipefail

packages=(cmake g++ make pkg-config libboost-dev libgtest-dev libbenchmark-dev libpng-dev libtiff-dev liblcms2-dev)
lcms2_source=${VEXLOR_LCMS2_SOURCE:-/usr/local/src/lcms2}
windows=0
for arg in "$@"; do
  case "$arg" in
    --windows) packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 dpkg-dev)
      windows=1 ;;
    --wine) packages+=(wine wine64 wine32:i386 fonts-wine xvfb x11-apps imagemagick) ;;  # fonts-wine: MS Sans Serif
    --fuzz) packages+=(clang libclang-rt-dev) ;;  # libFuzzer and the sanitizers' runtimes
    --qemu) packages+=(qemu-user) ;;
    --bench) packages+=(python3-opencv time) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
want_lcms2_source=0
[ "$windows" = 1 ] && [ ! -f "$lcms2_source/src/cmsxform.c" ] && want_lcms2_source=1
[ ${#missing[@]} -eq 0 ] && [ "$want_lcms2_source" = 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  [ ${#missing[@]} -eq 0 ] || echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
  [ "$want_lcms2_source" = 0 ] || echo "install-deps: no Little CMS source in $lcms2_source (run as root to unpack it)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  if printf '%s\n' "${missing[@]}" | grep -q ':i386'; then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The source package comes through a list of source indexes of its own, so
# that the machine's apt configuration stays as it is; apt checks the files
# against the archive's signed indexes, and dpkg-source applies Debian's
# patches as it unpacks them.
if [ "$want_lcms2_source" = 1 ]; then
  . /etc/os-release
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/lists/partial" "$scratch/get"
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  printf 'deb-src [signed-by=%s] http://deb.debian.org/%s %s main\n' \
    "$keyring" debian "$VERSION_CODENAME" "$keyring" debian-security "$VERSION_CODENAME-security" \
    >"$scratch/sources.list"
  private=(-o "Dir::Etc::SourceList=$scratch/sources.list" -o "Dir::Etc::SourceParts=$scratch/none"
    -o "Dir::State::Lists=$scratch/lists" -o APT::Sandbox::User=root)
  apt-get "${private[@]}" update -qq
  (cd "$scratch/get" && apt-get "${private[@]}" source -qq lcms2 >/dev/null)
  unpacked=$(find "$scratch/get" -mindepth 1 -maxdepth 1 -type d -name 'lcms2-*')
  if [ ! -f "$unpacked/src/cmsxform.c" ]; then
    echo "install-deps: Debian's source package of Little CMS did not unpack" >&2
    exit 1
  fi
  mkdir -p "$(dirname "$lcms2_source")"
  rm -rf "$lcms2_source"
  mv "$unpacked" "$lcms2_source"
fi
