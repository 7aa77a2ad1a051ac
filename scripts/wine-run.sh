#!/usr/bin/env bash
# Runs a Windows program under Wine in the host namespace (CTest's emulator for
# the Windows tree). Uses a prefix of its own that no test namespace shares;
# programs run here never broadcast.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
export WINEPREFIX=${TAVIX_HOST_PREFIX:-$(harness_build_dir)/wine/host}
harness_prepare_prefix "$WINEPREFIX"
export WINEDEBUG=${WINEDEBUG:--all}
[ -n "${DISPLAY:-}" ] || harness_start_xvfb
exec wine "$@"
