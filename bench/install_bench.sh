#!/usr/bin/env bash
# Installer copy speed: the real setup.exe under Wine (silent) copies 200 MB
# in 500 files (five subfolders) of a medium to a destination on the same
# disk, with the journal, the version rule and the uninstall registration of
# every file. Beside it, in the same round and the same Wine prefix, a bare
# Win32 copy loop (bench/copy_loop.cpp: open, read, write, close with the
# installer's buffer size) copies the same files, and `cp -r` copies them
# too. A copy list holds at most 256 entries, so the installer (and the loop
# with it) runs once per 250 files and the times are added. The installer's
# time is its copy step as its /LOG file times it (from the copy list to the
# end of the uninstall registration), without Wine's start-up; the loop
# times itself. Prints each round, then the median of the rounds and the
# installer's share of the loop and of cp. A measurement, not a test.
#
# Runs in a network namespace of its own with a private Wine prefix, both
# removed at the end; BENCH_DIR=/dev/shm puts the files in memory. Needs root and the built trees (scripts/build.sh); the
# programs of the tree that HARNESS_WINEARCH names (default: the shipped
# 32-bit build where it runs natively).
#   install_bench.sh [FILES] [KIB_PER_FILE] [ROUNDS]
# BENCH_DEBUG=FILE appends the Wine processes' error output there (with
# WINEDEBUG=+server, every request of the installer and the loop).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
harness_init 1800
files=${1:-500} kib=${2:-400} rounds=${3:-3}
build=$(harness_build_dir)
tree=$(harness_test_tree)
if [ "$tree" = win64 ]; then dist=$build/win64/dist; else dist=$build/dist; fi
[ -x "$dist/setup.exe" ] || harness_die "no $dist/setup.exe: run scripts/build.sh"
[ -x "$dist/tests/copy_loop.exe" ] || harness_die "no $dist/tests/copy_loop.exe: build copy_loop"
harness_start_xvfb
harness_netns_up "instbench"
harness_wine_client_prefix
tmp=$(harness_tmpdir)
# BENCH_DIR=/dev/shm keeps the medium and the copies in memory: the software
# measured without the disk (whose write-back other work on the machine
# disturbs).
if [ -n "${BENCH_DIR:-}" ]; then
    work=$(mktemp -d "$BENCH_DIR/install-bench.XXXXXX")
    trap 'rm -rf "$work"; harness_cleanup' EXIT
    tmp=$work
fi
run() { harness_in_client wine "$@" </dev/null; }

medium=$tmp/medium
mkdir -p "$medium"
cp "$dist/setup.exe" "$medium/"
winpath() { echo "Z:${1//\//\\}"; }
# The setup file of the files [first, last).
write_setup() {
    {
        echo "[Setup]"
        echo "ProductName=Bench"
        echo "UninstallKey=TavixBench"
        echo "AskType=FALSE"
        echo "USBType=FALSE"
        echo "Restart=FALSE"
        echo "[Strings]"
        echo "dest=$(winpath "$tmp/dest-setup")"
        echo "[Copy Files]"
        for ((i = $1; i < $2; i++)); do
            echo "d$((i % 5))\\f$i.bin=%dest%\\d$((i % 5))"
        done
    } >"$medium/SETUPXP.INI"
    cp "$medium/SETUPXP.INI" "$medium/SETUP2K.INI"
    cp "$medium/SETUPXP.INI" "$medium/SETUPNT.INI"
}
# The loop's list of the files [first, last).
write_list() {
    for ((i = $1; i < $2; i++)); do
        echo "$(winpath "$medium/d$((i % 5))/f$i.bin")|$(winpath "$tmp/dest-loop/d$((i % 5))/f$i.bin")"
    done >"$tmp/loop-$1.txt"
}
for d in 0 1 2 3 4; do mkdir -p "$medium/d$d"; done
for ((i = 0; i < files; i++)); do
    head -c $((kib * 1024)) /dev/urandom >"$medium/d$((i % 5))/f$i.bin"
done
for ((first = 0; first < files; first += 250)); do
    write_list "$first" $((first + 250 < files ? first + 250 : files))
done
bytes=$((files * kib * 1024))
echo "medium: $files files, $bytes bytes; $tree build; $(nproc) cores"

# Wine's first start in the new prefix is not measured.
run cmd /c exit 0 >/dev/null 2>>"${BENCH_DEBUG:-/dev/null}" || true

mbs() { echo "$bytes / $1 / 1000000" | bc -l; }
# Seconds of the copy step in a /LOG file: from the copy list to its last
# file or the end of the registration, whichever comes later.
copy_seconds() {
    tr -d '\r' <"$1" | awk '
        function secs(t,  a) { split(t, a, ":"); return a[1] * 3600 + a[2] * 60 + a[3] }
        /copy list: / { start = secs($1) }
        /^[0-9:.]+ (wrote |uninstall registration)/ { end = secs($1) }
        END { printf "%.3f", end - start }'
}
# Of that, the uninstall registration written after the last file.
registration_seconds() {
    tr -d '\r' <"$1" | awk '
        function secs(t,  a) { split(t, a, ":"); return a[1] * 3600 + a[2] * 60 + a[3] }
        /^[0-9:.]+ wrote / { last = secs($1) }
        /^[0-9:.]+ uninstall registration/ { end = secs($1) }
        END { printf "%.3f", (end > last ? end - last : 0) }'
}
setup_all=() loop_all=() cp_all=() share_all=()
for ((r = 1; r <= rounds; r++)); do
    cat "$medium"/d*/f*.bin >/dev/null # all read from the page cache
    rm -rf "$tmp/dest-setup" "$tmp/dest-loop"
    mkdir -p "$tmp/dest-loop"
    sync
    # Each part by the installer and then by the loop, back to back, so that
    # both meet the same load.
    setup_s=0 loop_s=0 reg_s=0
    for ((first = 0; first < files; first += 250)); do
        write_setup "$first" $((first + 250 < files ? first + 250 : files))
        rm -f "$medium/setup.log"
        run "$medium/setup.exe" /S "/LOG=$(winpath "$medium/setup.log")" >/dev/null \
            2>>"${BENCH_DEBUG:-/dev/null}" || harness_die "setup.exe failed"
        setup_s=$(echo "$setup_s + $(copy_seconds "$medium/setup.log")" | bc -l)
        reg_s=$(echo "$reg_s + $(registration_seconds "$medium/setup.log")" | bc -l)
        part=$(run "$dist/tests/copy_loop.exe" "$(winpath "$tmp/loop-$first.txt")" 2>/dev/null |
            tr -d '\r') || harness_die "copy_loop failed"
        loop_s=$(echo "$loop_s + $part" | bc -l)
    done
    copied=$(find "$tmp/dest-setup" -type f | wc -l)
    [ "$copied" -eq "$files" ] || harness_die "setup copied $copied of $files files"
    copied=$(find "$tmp/dest-loop" -type f | wc -l)
    [ "$copied" -eq "$files" ] || harness_die "the copy loop copied $copied of $files files"

    rm -rf "$tmp/dest-cp"
    sync
    start=$(date +%s.%N)
    mkdir -p "$tmp/dest-cp"
    cp -r "$medium"/d0 "$medium"/d1 "$medium"/d2 "$medium"/d3 "$medium"/d4 "$tmp/dest-cp/"
    end=$(date +%s.%N)
    cp_s=$(echo "$end - $start" | bc -l)
    share=$(echo "100 * $loop_s / $setup_s" | bc -l)
    printf 'round %d: installer %.3f s (%.1f MB/s), bare loop %.3f s (%.1f MB/s), cp %.3f s (%.1f MB/s);\n' \
        "$r" "$setup_s" "$(mbs "$setup_s")" "$loop_s" "$(mbs "$loop_s")" "$cp_s" "$(mbs "$cp_s")"
    printf '         installer at %.0f %% of the loop (its registration after the files %.3f s); load %s\n' \
        "$share" "$reg_s" "$(cut -d' ' -f1 /proc/loadavg)"
    setup_all+=("$setup_s") loop_all+=("$loop_s") cp_all+=("$cp_s") share_all+=("$share")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
m_setup=$(median "${setup_all[@]}") m_loop=$(median "${loop_all[@]}") m_cp=$(median "${cp_all[@]}")
printf 'median of %d: installer %.1f MB/s, bare loop %.1f MB/s, cp %.1f MB/s\n' "$rounds" \
    "$(mbs "$m_setup")" "$(mbs "$m_loop")" "$(mbs "$m_cp")"
printf 'installer at %.0f %% of the bare loop (median of the rounds: %.0f %%), %.0f %% of cp; the loop at %.0f %% of cp (load %s)\n' \
    "$(echo "100 * $m_loop / $m_setup" | bc -l)" "$(median "${share_all[@]}")" \
    "$(echo "100 * $m_cp / $m_setup" | bc -l)" "$(echo "100 * $m_cp / $m_loop" | bc -l)" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
