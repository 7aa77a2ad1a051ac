#!/usr/bin/env bash
# End-to-end runs of the real kivouninstall.exe under Wine. The uninstaller
# deletes what registrations name, and some of the test's registrations are
# hostile on purpose, so everything runs in a private prefix that has no way
# out of itself: no Z: drive, the profile's links to the Linux home replaced
# by plain folders, HOME pointed at a scratch directory. The programs are
# copied into the prefix's C: drive. Nothing here uses the network.
# Usage: uninstall_e2e.sh E2E_EXE UNINSTALL_EXE BUILD_DIR [STANDIN_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tests/harness/lib.sh"
e2e=$1 uninstall=$2 build=$3 standins=${4:-}
export TAVIX_BUILD_DIR=$build
harness_init 300
harness_wine_select
prefix="$(harness_wine_dir)/uninstall-$$"
stop_prefix() {
    WINEPREFIX="$prefix" timeout 20 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 20 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
    harness_cleanup
}
trap stop_prefix EXIT
harness_prepare_prefix "$prefix"
export WINEPREFIX=$prefix
# No way out: no drive that maps the Linux tree, no links to the home.
for d in "$prefix"/dosdevices/*; do
    case "$(readlink "$d" 2>/dev/null || true)" in
    ../drive_c | /dev/*) ;;
    *) rm -f "$d" ;;
    esac
done
for link in "$prefix"/drive_c/users/*/* "$prefix"/drive_c/users/*/AppData/*; do
    if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
    fi
done
export HOME
HOME="$(harness_tmpdir)/home"
mkdir -p "$HOME"
bin="$prefix/drive_c/tavix-test"
mkdir -p "$bin"
cp "$e2e" "$bin/uninstall_e2e.exe"
cp "$uninstall" "$bin/kivouninstall.exe"
if [ -n "$standins" ] && [ -f "$standins/kivosetup.dll" ]; then
    cp "$standins/kivosetup.dll" "$bin/"
fi
[ -n "${DISPLAY:-}" ] || harness_start_xvfb
status=0
(cd "$bin" && wine 'C:\tavix-test\uninstall_e2e.exe') || status=$?
# The prefix must still be closed: nothing may have made a way out.
if ls "$prefix"/dosdevices/ | grep -qv '^\(c:\|com[0-9]*\|lpt[0-9]*\)$'; then
    echo "uninstall_e2e: a drive other than C: appeared in the prefix" >&2
    status=1
fi
exit $status
