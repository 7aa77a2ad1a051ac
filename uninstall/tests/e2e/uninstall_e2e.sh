#!/usr/bin/env bash
# End-to-end runs of the real kivouninstall.exe under Wine. The uninstaller
# deletes what registrations name, and some of the test's registrations are
# hostile on purpose, so everything runs in a closed prefix (closed_prefix.sh)
# with the programs copied into its C: drive. Nothing here uses the network.
# Usage: uninstall_e2e.sh E2E_EXE UNINSTALL_EXE BUILD_DIR [STANDIN_DIR]
# TAVIX_GTEST_FILTER picks the runs (default: every UninstallRun).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/tests/harness/lib.sh"
. "$here/closed_prefix.sh"
e2e=$1 uninstall=$2 build=$3 standins=${4:-}
export TAVIX_BUILD_DIR=$build
harness_init 300
closed_prefix_up
bin="$WINEPREFIX/drive_c/tavix-test"
mkdir -p "$bin"
cp "$e2e" "$bin/uninstall_e2e.exe"
cp "$uninstall" "$bin/kivouninstall.exe"
if [ -n "$standins" ] && [ -f "$standins/kivosetup.dll" ]; then
    cp "$standins/kivosetup.dll" "$bin/"
fi
status=0
(cd "$bin" && wine 'C:\tavix-test\uninstall_e2e.exe' --gtest_filter="${TAVIX_GTEST_FILTER:-UninstallRun.*}") || status=$?
closed_prefix_check || status=1
out="$build/uninstall-shots"
mkdir -p "$out"
for f in "$bin"/shots/*.bmp; do
    [ -e "$f" ] || continue
    name=$(basename "$f" .bmp)
    if command -v convert >/dev/null && convert "$f" "$out/$name.png" 2>/dev/null; then
        echo "screenshot: $out/$name.png"
    else
        cp "$f" "$out/"
    fi
done
exit $status
