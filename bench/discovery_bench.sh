#!/usr/bin/env bash
# Discovery under load: the real Brellmark.exe under Wine, on a client with
# two adapters, against N virtual servers that all answer one discovery at
# once. Up to 4,000 servers sit on the first adapter's subnet, where each is
# reached by the limited broadcast and by that subnet's directed broadcast
# and so answers twice; beyond 4,000, the rest sit on the second adapter's
# subnet, reached by its directed broadcast only (8,000: two subnets of
# 4,000). For each run it reports how many servers were lost (never asked
# for their status), the time from the broadcast to the last status request
# and that time per server, as the virtual NAS saw them, with the load
# average and the datagrams dropped for a full receive queue on the client
# (c-drops) and on the server side (s-drops), and the status requests sent
# to a server that was asked already (repeats). A measurement, not a test: it
# never fails on a slow result.
#
# --compare runs each count of one subnet twice in a row: as it is, and with
# the directed broadcast kept from the servers (the server side's namespace
# stops taking that address as a broadcast; the program still sends it), so
# that every server answers once; the summary gives the ratio of the two.
#
# Usage: bench/discovery_bench.sh [--runs R] [--compare] [N ...]
#        (default: one run each of 500 1000 2000 4000 8000)
# BENCH_BRELLMARK=PATH runs another build of the program (a comparison);
# BENCH_DEBUG=FILE keeps Brellmark's output there, the servers' logs of the
# last run in /tmp/bench-*.log.run and prints the client socket's memory and
# the processes' CPU time.
# Needs root and the built trees (scripts/build.sh); the program of the tree
# that HARNESS_WINEARCH names (default: the shipped 32-bit build where it
# runs natively). Runs in private network namespaces; nothing leaves them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=1 compare=0 counts=()
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --compare) compare=1; shift ;;
    *) counts+=("$1"); shift ;;
    esac
done
[ ${#counts[@]} -gt 0 ] || counts=(500 1000 2000 4000 8000)
per_subnet=4000
for n in "${counts[@]}"; do
    [ "$n" -ge 1 ] && [ "$n" -le $((2 * per_subnet)) ] || { echo "counts go from 1 to $((2 * per_subnet))" >&2; exit 2; }
done

. "$root/tests/harness/lib.sh"
harness_init $((300 + runs * ${#counts[@]} * (compare + 1) * 150))
harness_start_xvfb
harness_netns_subnets_up "dbench"
harness_wine_client_prefix
tmp=$(harness_tmpdir)
tree=$(harness_test_tree)
if [ "$tree" = win64 ]; then exe="$(harness_build_dir)/win64/dist/Brellmark.exe"; else exe="$(harness_build_dir)/dist/Brellmark.exe"; fi
exe=${BENCH_BRELLMARK:-$exe}  # another build of the program, for a comparison
[ -f "$exe" ] || harness_die "missing $exe: run scripts/build.sh"

# The servers of one subnet: COUNT from FIRST_ADDRESS on.
write_conf() { # file count first_address first_mac name_prefix
    cat >"$1" <<CONF
[generate]
count = $2
first_address = $3
first_mac = $4
name_prefix = $5
name_digits = 4
workgroup = WORKGROUP
version = 21 03
configured = 01 00 00 00
netmask = 255.255.0.0
CONF
}

# Whether the first subnet's server side takes its directed broadcast.
directed() { # on|off
    if [ "$1" = off ]; then
        ip -n "$HARNESS_NS_S" route del broadcast 10.77.255.255 dev "$HARNESS_DEV_S" table local 2>/dev/null || true
    else
        ip -n "$HARNESS_NS_S" route replace broadcast 10.77.255.255 dev "$HARNESS_DEV_S" table local \
            proto kernel scope link src "$HARNESS_SERVER_IP"
    fi
}

# Datagrams a namespace's UDP sockets dropped for a full receive queue.
udp_drops() { # namespace
    ip netns exec "$1" awk '/^Udp:/ { if (!h) { for (i = 1; i <= NF; i++) col[$i] = i; h = 1 }
                                      else print $col["RcvbufErrors"] }' /proc/net/snmp
}
results=$tmp/results
: >"$results"
# Starts the servers of N: up to 4,000 on the first subnet, the rest on the
# second. They answer every run of that count.
start_servers() { # n
    local n=$1 first=$1 second=0
    if [ "$n" -gt "$per_subnet" ]; then first=$per_subnet second=$((n - per_subnet)); fi
    pids=() logs=()
    write_conf "$tmp/s.conf" "$first" 10.77.1.1 00:11:32:cc:00:01 BENCH-A
    harness_start_vnas_in "$HARNESS_NS_S" "$HARNESS_DEV_S" "$tmp/s.conf" "$tmp/s.log"
    pids+=("$HARNESS_VNAS_PID") logs+=("$tmp/s.log")
    if [ "$second" -gt 0 ]; then
        write_conf "$tmp/t.conf" "$second" 10.78.1.1 00:11:32:dd:00:01 BENCH-B
        harness_start_vnas_in "$HARNESS_NS_T" "$HARNESS_DEV_T" "$tmp/t.conf" "$tmp/t.log"
        pids+=("$HARNESS_VNAS_PID") logs+=("$tmp/t.log")
    fi
}
# Stops them and waits until their addresses are gone, so that the next
# count's servers do not lose theirs to a late clean-up.
stop_servers() {
    local pid ns dev i
    for pid in "${pids[@]}"; do _harness_stop_pid "$pid" 30; done
    for ns in "$HARNESS_NS_S:$HARNESS_DEV_S" "$HARNESS_NS_T:$HARNESS_DEV_T"; do
        for ((i = 0; i < 300; i++)); do
            [ "$(ip -n "${ns%%:*}" -o -4 addr show dev "${ns#*:}" | wc -l)" -le 1 ] && break
            sleep 0.1
        done
    done
}
# The lines the servers logged since the last call (one file per log).
new_lines() {
    local log i=0
    for log in "${logs[@]}"; do
        local total
        total=$(wc -l <"$log")
        tail -n +$((${seen[$i]:-0} + 1)) "$log" | head -n $((total - ${seen[$i]:-0})) >"$log.run"
        seen[$i]=$total
        i=$((i + 1))
    done
}
# One run of Brellmark against the servers started, the directed broadcast
# on or off; prints one line.
measure() { # n mode
    local n=$1 mode=$2
    directed "$mode"
    new_lines
    local c0 s0 t0
    c0=$(udp_drops "$HARNESS_NS_C") s0=$(udp_drops "$HARNESS_NS_S") t0=$(udp_drops "$HARNESS_NS_T")
    local from=() log
    for log in "${logs[@]}"; do from+=("$(wc -l <"$log")"); done
    harness_in_client wine "$exe" </dev/null >"$tmp/brellmark.out" 2>&1 &
    local client=$!
    # Done when every server was asked, or when nothing new came for 10 s.
    local i last=-1 still=0 now
    asked() {
        local j=0 l
        for l in "${logs[@]}"; do tail -n +$((${from[$j]} + 1)) "$l"; j=$((j + 1)); done |
            grep -c "$1" || true
    }
    for ((i = 0; i < 1200; i++)); do
        sleep 0.25
        now=$(asked '^rx .* cmd=5 ')
        [ "$now" -ge "$n" ] && break
        if [ "$now" = "$last" ] && [ "$(asked '^rx .* cmd=1 ')" -gt 0 ]; then
            still=$((still + 1))
            [ "$still" -ge 40 ] && break
        else
            still=0
        fi
        last=$now
    done
    local load cdrops sdrops
    load=$(cut -d' ' -f1 /proc/loadavg)
    if [ -n "${BENCH_DEBUG:-}" ]; then
        ip netns exec "$HARNESS_NS_C" ss -uamn >&2
        local p
        for p in $(ip netns pids "$HARNESS_NS_C") "${pids[@]}"; do
            awk -v p="$p" '{ sub(/^[^)]*\) /, ""); printf "cpu %s %s %d ms\n", p, c, ($12 + $13) * 10 }' \
                c="$(tr -d '\0' </proc/$p/comm 2>/dev/null)" "/proc/$p/stat" >&2 2>/dev/null || true
        done
    fi
    harness_in_client env WINEPREFIX="$WINEPREFIX" timeout 20 wineserver -k >/dev/null 2>&1 || true
    wait "$client" 2>/dev/null || true
    [ -z "${BENCH_DEBUG:-}" ] || cp "$tmp/brellmark.out" "$BENCH_DEBUG"
    sleep 0.5  # the last datagrams on their way
    cdrops=$(($(udp_drops "$HARNESS_NS_C") - c0))
    sdrops=$(($(udp_drops "$HARNESS_NS_S") - s0 + $(udp_drops "$HARNESS_NS_T") - t0))
    new_lines
    local runs=() errors
    for log in "${logs[@]}"; do runs+=("$log.run"); done
    [ -z "${BENCH_DEBUG:-}" ] || for log in "${runs[@]}"; do cp "$log" "/tmp/bench-$(basename "$log")"; done
    errors=$(cat "${runs[@]}" | grep -c '^tx-error' || true)
    [ "$errors" = 0 ] || harness_log "the servers could not send $errors replies"
    # The broadcast's arrival at the first subnet starts the clock; the
    # last status request at either stops it.
    awk -v n="$n" -v mode="$mode" -v load="$load" -v cd="$cdrops" -v sd="$sdrops" '
        FNR == 1 { file++ }
        file == 1 && /^rx / && / cmd=1 / && !t0 { t = $NF; sub(/t=/, "", t); t0 = t }
        /^rx / && / cmd=5 / { match($0, / id=[^ ]*/); id = substr($0, RSTART, RLENGTH);
                              if (!(id in seen)) { seen[id] = 1; k++ } else rep++
                              t = $NF; sub(/t=/, "", t); if (t > t1) t1 = t }
        END { ms = (t1 - t0) / 1000; per = k ? (t1 - t0) / k : 0;
              printf "%8d %9s %8d %8d %12.0f %14.0f %6s %8d %8d %8d\n", n, mode == "on" ? "both" : "limited",
                     k, n - k, ms, per, load, cd, sd, rep }' "${runs[@]}" | tee -a "$results"
}

echo "$tree build; $(nproc) cores; directed broadcast: both = as it is, limited = kept from the servers"
printf '%8s %9s %8s %8s %12s %14s %6s %8s %8s %8s\n' servers broadcast listed lost "last-req ms" "us per server" \
    load c-drops s-drops repeats
for n in "${counts[@]}"; do
    seen=()
    start_servers "$n"
    for ((r = 1; r <= runs; r++)); do
        measure "$n" on
        if [ "$compare" = 1 ] && [ "$n" -le "$per_subnet" ]; then measure "$n" off; fi
    done
    stop_servers
done
directed on

# Medians per count and kind, the most lost, and the ratio of the two kinds.
echo "summary (median of $runs; load now $(cut -d' ' -f1-3 /proc/loadavg)):"
awk '
    { key = $1 " " $2; n[key]++; ms[key, n[key]] = $5; per[key, n[key]] = $6;
      if ($4 > lost[key]) lost[key] = $4; order[key] = $1; kinds[key] = $2 }
    function median(a, key, c,   i, j, t, v) {
        for (i = 1; i <= c; i++) v[i] = a[key, i]
        for (i = 2; i <= c; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return v[int((c + 1) / 2)]
    }
    END {
        for (key in n) { m[key] = median(ms, key, n[key]); p[key] = median(per, key, n[key]) }
        for (key in n)
            printf "%8d %9s  runs %2d  most lost %5d  last-req %7.0f ms  %6.0f us per server\n",
                   order[key], kinds[key], n[key], lost[key], m[key], p[key] | "sort -n -k1,1 -k2,2"
        close("sort -n -k1,1 -k2,2")
        for (key in n)
            if (kinds[key] == "both" && ((order[key] " limited") in m))
                printf "%8d servers: both broadcasts at %.2f times the time of the limited one alone\n",
                       order[key], m[key] / m[order[key] " limited"]
    }' "$results"
