#!/usr/bin/env bash
# Runs a Windows program under Wine in the host namespace (CTest's emulator for
# the Windows tree). Uses a prefix of its own that no test namespace shares;
# programs run here never broadcast.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
harness_wine_select
export WINEPREFIX=${TAVIX_HOST_PREFIX:-$(harness_wine_dir)/host}
harness_prepare_prefix "$WINEPREFIX"
export WINEDEBUG=${WINEDEBUG:--all}
[ -n "${DISPLAY:-}" ] || harness_start_xvfb
exec wine "$@"
