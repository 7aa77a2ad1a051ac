#!/usr/bin/env bash
# Runs a Windows program under Wine in the host namespace (CTest's emulator for
# the Windows trees). Uses a prefix of its own that no test namespace shares;
# programs run here never broadcast.
#   wine-run.sh [--winearch=win32|win64] PROGRAM.exe [ARGS...]
# The toolchain files pass the architecture of their tree's programs.
set -euo pipefail
case "${1:-}" in
--winearch=*)
    export HARNESS_WINEARCH=${1#--winearch=}
    shift
    ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
harness_wine_select
export WINEPREFIX=${TAVIX_HOST_PREFIX:-$(harness_wine_dir)/host}
harness_prepare_prefix "$WINEPREFIX"
export WINEDEBUG=${WINEDEBUG:--all}
[ -n "${DISPLAY:-}" ] || harness_start_xvfb
exec wine "$@"
