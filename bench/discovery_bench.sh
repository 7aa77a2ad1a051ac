#!/usr/bin/env bash
# Discovery under load: the real Brellmark.exe under Wine against N virtual
# servers that all answer one discovery broadcast at once. For each N it
# reports how many servers were lost (never asked for their status) and the
# time from the broadcast to the last status request, as the virtual NAS saw
# them. A measurement, not a test: it never fails on a slow result.
#
# Usage: bench/discovery_bench.sh [N ...]      (default: 500 1000 2000 4000)
# Needs root and the built trees (scripts/build.sh). Runs in private network
# namespaces; nothing leaves them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

if [ "${1:-}" != --one ]; then
    counts=("$@")
    [ ${#counts[@]} -gt 0 ] || counts=(500 1000 2000 4000)
    printf '%8s %8s %8s %12s %14s\n' servers listed lost "last-req ms" "us per server"
    for n in "${counts[@]}"; do
        bash "$0" --one "$n" || echo "run with $n servers failed" >&2
    done
    exit 0
fi

n=$2
. "$root/tests/harness/lib.sh"
harness_init 400
harness_start_xvfb
harness_netns_up "bench"
tmp=$(harness_tmpdir)
: >"$tmp/vnas.log"
cat >"$tmp/bench.conf" <<CONF
[generate]
count = $n
first_address = 10.77.1.1
first_mac = 00:11:32:cc:00:01
name_prefix = BENCH-
name_digits = 4
workgroup = WORKGROUP
version = 21 03
configured = 01 00 00 00
netmask = 255.255.0.0
CONF
harness_start_vnas "$tmp/bench.conf" "$tmp/vnas.log"
harness_wine_client_prefix
tree=$(harness_test_tree)
if [ "$tree" = win64 ]; then exe="$(harness_build_dir)/win64/dist/Brellmark.exe"; else exe="$(harness_build_dir)/dist/Brellmark.exe"; fi
[ -f "$exe" ] || harness_die "missing $exe: run scripts/build.sh"

harness_in_client wine "$exe" </dev/null >"$tmp/brellmark.out" 2>&1 &

# Done when every server was asked, or when nothing new came for 10 s.
status_requests() { grep -c '^rx .* cmd=5 ' "$tmp/vnas.log" || true; }
last=-1 still=0
for ((i = 0; i < 1200; i++)); do
    sleep 0.25
    now=$(status_requests)
    [ "$now" -ge "$n" ] && break
    if [ "$now" = "$last" ] && grep -q '^rx .* cmd=1 ' "$tmp/vnas.log"; then
        still=$((still + 1))
        [ "$still" -ge 40 ] && break
    else
        still=0
    fi
    last=$now
done
awk -v n="$n" '
    /^rx / && / cmd=1 / && !t0 { t = $NF; sub(/t=/, "", t); t0 = t }
    /^rx / && / cmd=5 / { match($0, / id=[^ ]*/); id = substr($0, RSTART, RLENGTH);
                          if (!(id in seen)) { seen[id] = 1; k++ }
                          t = $NF; sub(/t=/, "", t); t1 = t }
    END { ms = (t1 - t0) / 1000; per = k ? (t1 - t0) / k : 0;
          printf "%8d %8d %8d %12.0f %14.0f\n", n, k, n - k, ms, per }' "$tmp/vnas.log"
