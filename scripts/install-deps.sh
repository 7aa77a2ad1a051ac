#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a fresh Debian
# machine. Safe to run again: packages already present are left alone.
set -euo pipefail

pkgs=(
  build-essential cmake ninja-build pkg-config git
  googletest
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine32:i386 wine64 fonts-wine
  # Chinese, Japanese and Korean glyphs for the dialogs under Wine (the
  # language layout test links Tahoma to it).
  fonts-wqy-microhei
  xvfb x11-utils imagemagick iproute2 procps psmisc util-linux python3
  clang-format gcab genisoimage
)

# Where this machine cannot run 32-bit programs, the 32-bit tests run 32-bit
# Wine under user-space emulation (scripts/i386-emulation.sh).
if "$(dirname "$0")/i386-emulation.sh" needed; then
  echo "install-deps: 32-bit x86 programs run here only under emulation (or TAVIX_EMULATE_I386=1):" \
    "the 32-bit tests need qemu-user-static"
  pkgs+=(qemu-user-static)
fi

need=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -eq 0 ]; then
  echo "install-deps: everything is already installed"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
echo "install-deps: installed ${need[*]}"
