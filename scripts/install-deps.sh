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
# Wine under user-space emulation (scripts/i386-emulation.sh). Bookworm's own
# qemu (7.2) does not get Wine started: 8.0 and later keep the guest's memory
# mappings in a tree, which Wine's start-up needs. So qemu comes from
# bookworm-backports: a source of its own for that suite, pinned so that only
# the packages named below may come from it (qemu-user-static is a
# transitional package there: the static programs are in qemu-user, the
# binfmt.d files in qemu-user-binfmt; neither registers an x86 entry on an
# x86_64 machine). Nothing else of the machine moves to backports.
QEMU_PKGS=(qemu-user-static qemu-user qemu-user-binfmt)
QEMU_MIN=1:8.0
BACKPORTS_SOURCES=/etc/apt/sources.list.d/tavix-bookworm-backports.sources
BACKPORTS_PIN=/etc/apt/preferences.d/tavix-bookworm-backports
emulated=0
if "$(dirname "$0")/i386-emulation.sh" needed; then
  echo "install-deps: 32-bit x86 programs run here only under emulation (or TAVIX_EMULATE_I386=1):" \
    "the 32-bit tests need qemu-user-static $QEMU_MIN or later"
  emulated=1
fi

# The version of an installed package, or nothing.
installed_version() {
  dpkg-query -W -f='${Status} ${Version}' "$1" 2>/dev/null |
    awk '$1 == "install" && $2 == "ok" && $3 == "installed" {print $4}' || true
}

need=()
for p in "${pkgs[@]}"; do
  [ -n "$(installed_version "$p")" ] || need+=("$p")
done
if [ "$emulated" = 1 ]; then
  v=$(installed_version qemu-user-static)
  if [ -z "$v" ] || dpkg --compare-versions "$v" lt "$QEMU_MIN"; then
    need+=(qemu-user-static)
  fi
fi
if [ ${#need[@]} -eq 0 ]; then
  echo "install-deps: everything is already installed"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ "$emulated" = 1 ] && [ ! -f "$BACKPORTS_SOURCES" ]; then
  . /etc/os-release
  [ "${VERSION_CODENAME:-}" = bookworm ] ||
    { echo "install-deps: qemu from bookworm-backports is meant for Debian 12, this is ${PRETTY_NAME:-unknown}" >&2; exit 1; }
  $SUDO tee "$BACKPORTS_SOURCES" >/dev/null <<'SOURCES'
# Written by scripts/install-deps.sh of the Tavix set-up suite: qemu for the
# 32-bit tests; the pin in preferences.d/tavix-bookworm-backports lets only
# the qemu user-mode packages come from here.
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
fi
if [ "$emulated" = 1 ]; then
  {
    echo "# Written by scripts/install-deps.sh of the Tavix set-up suite: nothing but"
    echo "# the qemu user-mode packages comes from bookworm-backports."
    echo "Package: *"
    echo "Pin: release n=bookworm-backports"
    echo "Pin-Priority: -1"
    echo
    echo "Package: ${QEMU_PKGS[*]}"
    echo "Pin: release n=bookworm-backports"
    echo "Pin-Priority: 500"
  } | $SUDO tee "$BACKPORTS_PIN" >/dev/null
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
if [ "$emulated" = 1 ]; then
  v=$(installed_version qemu-user-static)
  if [ -z "$v" ] || dpkg --compare-versions "$v" lt "$QEMU_MIN"; then
    echo "install-deps: qemu-user-static ${v:-is missing}, $QEMU_MIN or later is needed" >&2
    exit 1
  fi
fi
echo "install-deps: installed ${need[*]}"
