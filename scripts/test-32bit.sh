#!/usr/bin/env bash
# The smoke set on the shipped 32-bit programs: the tests of build/win32
# labelled smoke32 (the live socket test and the end-to-end discovery and
# configure scenarios), each in a win32 Wine prefix. Extra arguments go to
# CTest. Needs root and a built tree (scripts/build.sh).
#
# Where the kernel cannot run 32-bit programs, 32-bit Wine runs under
# qemu-i386-static: scripts/i386-emulation.sh registers its binfmt_misc entry
# for this run only and removes it when the run ends, fails or is killed.
# Everything is then several times slower: the run's time limits grow by
# $TAVIX_TIME_SCALE (6 unless set). The 32-bit template prefix is made once per
# build directory (about 4 minutes under emulation) before the tests start.
#
# Prints "timing: prefix N s" and "timing: 32-bit smoke set N s"; exits non-zero
# when any part failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
build=$(harness_build_dir)
emu=$root/scripts/i386-emulation.sh
[ -f "$build/win32/CTestTestfile.cmake" ] || harness_die "no 32-bit tree in $build: run scripts/build.sh"

started=$SECONDS
scale=1
emulated=0
if "$emu" needed; then
    emulated=1
    scale=${TAVIX_TIME_SCALE:-6}
fi
export TAVIX_TIME_SCALE=$scale

# The limit of the whole 32-bit part; the clean-up (and with it the removal
# of the emulation entry) runs on every way out.
TAVIX_TIME_SCALE=1 harness_init 2400
trap 'harness_cleanup; "$emu" down $$' EXIT
harness_sweep_stale
"$emu" up $$ || exit 1
if [ "$emulated" = 1 ]; then
    harness_log "32-bit programs run under qemu-i386-static; time limits x$scale"
else
    harness_log "32-bit programs run natively here"
fi
[ -n "${DISPLAY:-}" ] || harness_start_xvfb

t=$SECONDS
(
    export HARNESS_WINEARCH=win32
    harness_make_template
) || exit 1
echo "timing: prefix $((SECONDS - t)) s"

t=$SECONDS
rc=0
ctest --test-dir "$build/win32" -L smoke32 --output-on-failure -j "${TAVIX_TEST_JOBS:-2}" "$@" || rc=$?
echo "timing: 32-bit smoke set $((SECONDS - t)) s"
echo "timing: 32-bit part in all $((SECONDS - started)) s ($([ "$emulated" = 1 ] && echo emulated || echo native))"
exit "$rc"
