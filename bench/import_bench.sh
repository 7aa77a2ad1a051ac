#!/usr/bin/env bash
# Account import speed: the real Brellmark.exe under Wine imports 10,000
# accepted lines into a virtual server. Reports lines per second and the
# client's own cost per line: the time from the server's answer to one line
# until the next line arrives, which is all the client's (reading, checking,
# waking the worker, sending), as the virtual NAS's log times it. Also how
# many different positions the progress bar showed. A measurement, not a test.
# Needs root and the built trees (scripts/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
harness_init 900
harness_start_xvfb
harness_netns_up "bimp"
tmp=$(harness_tmpdir)
: >"$tmp/vnas.log"
harness_start_vnas "$root/app/tests/e2e/import-servers.conf" "$tmp/vnas.log" --control "$tmp/vnas.ctl"
harness_wait_for 5 test -p "$tmp/vnas.ctl" || harness_die "no control FIFO"
harness_wine_client_prefix
build=$(harness_build_dir)
if [ "$(harness_test_tree)" = win64 ]; then dist=$build/win64/dist; else dist=$build/dist; fi
export TAVIX_VNAS_CONTROL=$tmp/vnas.ctl TAVIX_VNAS_LOG=$tmp/vnas.log TAVIX_BRELLMARK=$dist/Brellmark.exe
harness_in_client wine "$dist/tests/brellmark_e2e.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='ImportTest.DISABLED_TenThousandLines' </dev/null >"$tmp/driver.out" 2>&1 || {
    cat "$tmp/driver.out"
    harness_die "the import run failed"
}
positions=$(tr -d '\r' <"$tmp/driver.out" | awk -F= '/^progress-positions=/ {print $2}')
awk -v positions="$positions" '
    function t(line,   v) { v = line; sub(/.* t=/, "", v); return v }
    /^rx / && / cmd=16 / { n++; if (!first) first = t($0); last = t($0);
                           if (answered) { gap += t($0) - answered; gaps++ } }
    /^tx / && / cmd=16 / { answered = t($0) }
    END {
        secs = (last - first) / 1e6
        printf "lines sent: %d in %.2f s: %.0f lines/s\n", n, secs, (secs > 0 ? (n - 1) / secs : 0)
        printf "client cost per line beyond the round trip: %.0f us (mean of %d)\n", gaps ? gap / gaps : 0, gaps
        printf "progress bar positions seen: %s\n", positions
    }' "$tmp/vnas.log"
