#!/usr/bin/env bash
# Installer copy speed: the real setup.exe under Wine (silent) copies 200 MB
# in 500 files (five subfolders) of a medium to a destination on the same
# disk, with the uninstall registration of every file; `cp -r` copies the
# same tree there too. A copy list holds at most 256 entries, so the
# installer runs once per 250 files and the copy steps' times are added. Reports both throughputs and their ratio. The
# installer's time is the copy step as its /LOG file times it (from the copy
# list to the last file), without Wine's start-up. A measurement, not a test.
# Uses a Wine prefix of its own, removed at the end. Needs the built trees
# (scripts/build.sh); the program of the tree that HARNESS_WINEARCH names.
#   install_bench.sh [FILES] [KIB_PER_FILE] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/harness/lib.sh"
harness_init 1800
files=${1:-500} kib=${2:-400} rounds=${3:-3}
build=$(harness_build_dir)
if [ "$(harness_test_tree)" = win64 ]; then dist=$build/win64/dist; else dist=$build/dist; fi
[ -x "$dist/setup.exe" ] || harness_die "no $dist/setup.exe: run scripts/build.sh"
tmp=$(harness_tmpdir)
export TAVIX_HOST_PREFIX=$tmp/prefix
trap 'WINEPREFIX=$TAVIX_HOST_PREFIX timeout 20 wineserver -k >/dev/null 2>&1 || true; harness_cleanup' EXIT

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
for d in 0 1 2 3 4; do mkdir -p "$medium/d$d"; done
for ((i = 0; i < files; i++)); do
    head -c $((kib * 1024)) /dev/urandom >"$medium/d$((i % 5))/f$i.bin"
done
bytes=$((files * kib * 1024))
echo "medium: $files files, $bytes bytes, in $medium"

# Wine's first start in the new prefix is not measured.
"$root/scripts/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true

best_setup=0 best_cp=0
for ((r = 1; r <= rounds; r++)); do
    rm -rf "$tmp/dest-setup" "$tmp/dest-cp"
    cat "$medium"/d*/f*.bin >/dev/null  # both read from the page cache
    sync
    setup_s=0
    for ((first = 0; first < files; first += 250)); do
        last=$((first + 250 < files ? first + 250 : files))
        write_setup "$first" "$last"
        rm -f "$medium/setup.log"
        "$root/scripts/wine-run.sh" "$medium/setup.exe" /S "/LOG=$(winpath "$medium/setup.log")" \
            >/dev/null 2>&1 || harness_die "setup.exe failed"
        part=$(tr -d '\r' <"$medium/setup.log" | awk '
            function secs(t,  a) { split(t, a, ":"); return a[1] * 3600 + a[2] * 60 + a[3] }
            /copy list: / { start = secs($1) }
            /^[0-9:.]+ wrote / { end = secs($1) }
            END { printf "%.3f", end - start }')
        setup_s=$(echo "$setup_s + $part" | bc -l)
    done
    copied=$(find "$tmp/dest-setup" -type f | wc -l)
    [ "$copied" -eq "$files" ] || harness_die "setup copied $copied of $files files"
    sync
    start=$(date +%s.%N)
    mkdir -p "$tmp/dest-cp"
    cp -r "$medium"/d0 "$medium"/d1 "$medium"/d2 "$medium"/d3 "$medium"/d4 "$tmp/dest-cp/"
    end=$(date +%s.%N)
    cp_s=$(echo "$end - $start" | bc -l)
    printf 'round %d: setup %.3f s (%.1f MB/s), cp %.3f s (%.1f MB/s)\n' "$r" "$setup_s" \
        "$(echo "$bytes / $setup_s / 1000000" | bc -l)" "$cp_s" \
        "$(echo "$bytes / $cp_s / 1000000" | bc -l)"
    best_setup=$(echo "if ($best_setup == 0 || $setup_s < $best_setup) $setup_s else $best_setup" | bc -l)
    best_cp=$(echo "if ($best_cp == 0 || $cp_s < $best_cp) $cp_s else $best_cp" | bc -l)
done
printf 'best of %d: setup %.1f MB/s, cp %.1f MB/s: setup at %.0f %% of cp\n' "$rounds" \
    "$(echo "$bytes / $best_setup / 1000000" | bc -l)" "$(echo "$bytes / $best_cp / 1000000" | bc -l)" \
    "$(echo "100 * $best_cp / $best_setup" | bc -l)"
