#!/usr/bin/env bash
# End-to-end runs of the real setup.exe under Wine in the host namespace (the
# installer sends nothing over the network). Everything it writes stays in
# temporary directories of the test's Wine prefix. Screenshots of each page
# land in <build>/setup-shots/*.png.
# Usage: setup_e2e.sh SETUP_E2E_EXE SETUP_EXE PROBE_EXE DX_DLL BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
e2e=$1 setup=$2 probe=$3 dll=$4 build=$5
out="$build/setup-shots"
mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.png
export TAVIX_SETUP_EXE="$setup" TAVIX_PROBE_EXE="$probe" TAVIX_DX_DLL="$dll" TAVIX_SHOT_DIR="$out"
status=0
"$root/scripts/wine-run.sh" "$e2e" || status=$?
if command -v convert >/dev/null; then
    for f in "$out"/*.bmp; do
        [ -e "$f" ] || continue
        convert "$f" "${f%.bmp}.png" 2>/dev/null && rm -f "$f"
    done
fi
ls "$out" 2>/dev/null | sed 's/^/screenshot: /'
exit $status
