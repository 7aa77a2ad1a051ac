#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test, in
# two parts:
#   1. the native unit tests (with sanitizers) and the harness's own tests
#      (build/native);
#   2. every Windows-side and end-to-end test on the shipped 32-bit programs
#      (build/win32, scripts/test-32bit.sh): natively where the kernel runs
#      32-bit programs, under qemu-i386-static where it does not.
# The language layout run (label "lang", about 12 minutes natively) is left
# out: scripts/test-32bit.sh -L lang runs it. The x86_64 twin (build/win64) is
# built, so that every line stays 64-bit clean with warnings as errors, but
# not run: it ships nothing; `ctest --test-dir build/win64` gives the quick
# loop for development.
# Extra arguments go to both CTest runs. Needs root (apt, namespaces). Ends
# with the time of each part and one summary line over both parts, in CTest's
# form; exits non-zero when anything failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
build=$(harness_build_dir)
times=()

t=$SECONDS
"$root/scripts/install-deps.sh" || exit 1
times+=("apt $((SECONDS - t))")
t=$SECONDS
"$root/scripts/build.sh" --twin || exit 1
times+=("build $((SECONDS - t))")

harness_init 7200
harness_sweep_stale
log=$(harness_tmpdir)/ctest.log

# Passed, failed and total tests of the last CTest summary in the log, or
# "0 N N" (N tests, none run) when there is none.
counts() {
    local line
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
    if [ -n "$line" ]; then
        echo "$line" | awk '{print $NF - $4, $4, $NF}'
    else
        echo "0 $2 $2"
    fi
}

t=$SECONDS
rc1=0
(cd "$build/native" && ctest --output-on-failure -j "${TAVIX_TEST_JOBS:-2}" "$@") 2>&1 | tee "$log.native"
rc1=${PIPESTATUS[0]}
times+=("native-tests $((SECONDS - t))")
native_expected=$(cd "$build/native" && ctest -N "$@" | awk '/^Total Tests:/ {print $3}')
read -r p1 f1 n1 < <(counts "$log.native" "${native_expected:-1}")

rc2=0
"$root/scripts/test-32bit.sh" "$@" 2>&1 | tee "$log.32"
rc2=${PIPESTATUS[0]}
win32_expected=$(ctest --test-dir "$build/win32" -N -LE '^lang$' "$@" | awk '/^Total Tests:/ {print $3}')
read -r p2 f2 n2 < <(counts "$log.32" "${win32_expected:-1}")
while read -r entry; do
    times+=("$entry")
done < <(awk '/^timing: prefix / {print "32-bit-prefix", $3}
    /^timing: 32-bit suite / {print "32-bit-suite", $4}' "$log.32")
how=$(sed -n 's/^timing: 32-bit part in all .*(\(.*\))$/\1/p' "$log.32" | tail -n 1)
# A part that failed without a failing test (its set-up, say) counts once.
[ "$rc1" -eq 0 ] || [ "$f1" -gt 0 ] || { f1=1; n1=$((n1 + 1)); }
[ "$rc2" -eq 0 ] || [ "$f2" -gt 0 ] || { f2=1; n2=$((n2 + 1)); }

echo
echo "time of each part:"
for entry in "${times[@]}"; do
    printf '  %-18s %5s s\n' "${entry% *}" "${entry##* }"
done
echo "32-bit programs ran ${how:-(not reached)}; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "native tests: $p1 passed, $f1 failed; 32-bit Windows-side and end-to-end tests: $p2 passed, $f2 failed"
passed=$((p1 + p2))
failed=$((f1 + f2))
total=$((n1 + n2))
echo "$((total > 0 ? passed * 100 / total : 0))% tests passed, $failed tests failed out of $total"
[ "$rc1" -eq 0 ] && [ "$rc2" -eq 0 ] && [ "$failed" -eq 0 ]
