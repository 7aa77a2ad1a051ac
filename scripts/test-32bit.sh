#!/usr/bin/env bash
# The Windows-side and end-to-end tests on the shipped 32-bit programs: every
# test of build/win32 but the language layout run (label "lang"), each in a
# win32 Wine prefix. Extra arguments go to CTest (`-R mapdrive_e2e`, `-L
# smoke32` for one test of each program's main road). Needs root and a built
# tree (scripts/build.sh).
#
# Where the kernel cannot run 32-bit programs, 32-bit Wine runs under
# qemu-i386-static (scripts/i386-emulation.sh): on kernels that give each user
# namespace a binfmt_misc of its own, every Wine run of the tests joins one
# user namespace made for this run, whose binfmt_misc holds the entry, and
# nothing changes outside it; elsewhere a machine-wide entry is registered
# for this run only and removed when the run ends, fails or is killed.
# Everything is then several times slower: the run's time limits grow by
# $TAVIX_TIME_SCALE (6 unless set). The 32-bit template prefix is made once per
# build directory (under a minute under emulation) before the tests start.
#
# Prints "timing: prefix N s" and "timing: 32-bit suite N s"; exits non-zero
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
TAVIX_TIME_SCALE=1 harness_init $((emulated ? 4200 : 2400))
trap 'harness_cleanup; "$emu" down $$' EXIT
harness_sweep_stale
if [ "$emulated" = 1 ] && "$emu" private; then
    # One user namespace for every Wine process of the run (see `hold`).
    ready=$(harness_tmpdir)/userns
    "$emu" hold $$ >"$ready" &
    harness_wait_for 20 grep -qs '^userns ' "$ready" ||
        harness_die "the user namespace for the emulation did not come up"
    TAVIX_I386_USERNS=$(awk '/^userns / {print $2}' "$ready")
    export TAVIX_I386_USERNS TAVIX_I386_PRIVATE=1
    harness_log "32-bit Wine runs under qemu-i386-static, registered in a user namespace of" \
        "this run (nothing machine-wide); time limits x$scale"
elif [ "$emulated" = 1 ]; then
    "$emu" up $$ || exit 1
    harness_log "32-bit programs run under qemu-i386-static (machine-wide binfmt_misc entry" \
        "for this run); time limits x$scale"
else
    "$emu" up $$ || exit 1
    harness_log "32-bit programs run natively here"
fi
[ -n "${DISPLAY:-}" ] || harness_start_xvfb

t=$SECONDS
(
    export HARNESS_WINEARCH=win32
    harness_make_template
) || exit 1
echo "timing: prefix $((SECONDS - t)) s"

# Every test but the language layout run, unless the caller picks by label.
select=(-LE '^lang$')
for a in "$@"; do
    case "$a" in -L | --label-regex | -L?*) select=() ;; esac
done
t=$SECONDS
rc=0
ctest --test-dir "$build/win32" ${select[@]+"${select[@]}"} --output-on-failure -j "${TAVIX_TEST_JOBS:-2}" "$@" || rc=$?
echo "timing: 32-bit suite $((SECONDS - t)) s"
echo "timing: 32-bit part in all $((SECONDS - started)) s ($([ "$emulated" = 1 ] && echo emulated || echo native))"
exit "$rc"
