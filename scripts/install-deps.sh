#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where missing.
# Usage: install-deps.sh [--windows] [--wine] [--fuzz] [--qemu] [--bench]
# --qemu: qemu-user, whose emulated processors without AVX-512 or AVX run the
# modules' narrower kernels.
# --bench: OpenCV for Python, the comparison of bench/pihost-vs-opencv.sh only.
set -euo pipefail

packages=(cmake g++ make pkg-config libboost-dev libgtest-dev libbenchmark-dev libpng-dev libtiff-dev)
for arg in "$@"; do
  case "$arg" in
    --windows) packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64) ;;
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
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]} (run as root to install them)" >&2
  exit 1
fi
if printf '%s\n' "${missing[@]}" | grep -q ':i386'; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
