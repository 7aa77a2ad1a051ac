#!/usr/bin/env bash
# Runs a Windows-side test driver under Wine in the host namespace with the
# given variables set, and with $TAVIX_SHOT_DIR pointing at OUT_DIR; the
# screenshots it saves there (BMP) are turned into PNG afterwards.
# Usage: wine_shots.sh OUT_DIR DRIVER.exe [VAR=VALUE...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$1 driver=$2
shift 2
mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.png
export TAVIX_SHOT_DIR="$out"
for assignment in "$@"; do
    export "${assignment?}"
done
status=0
"$root/scripts/wine-run.sh" "$driver" || status=$?
if command -v convert >/dev/null; then
    for f in "$out"/*.bmp; do
        [ -e "$f" ] || continue
        convert "$f" "${f%.bmp}.png" 2>/dev/null && rm -f "$f"
    done
fi
ls "$out" 2>/dev/null | sed 's/^/screenshot: /'
exit $status
