#!/usr/bin/env bash
# From the box to a working server, under Wine: the launcher from the medium,
# its three pages, the installer with the medium's own setup file (driven by
# keys and buttons as a user would), Brellmark started from its Programs-menu
# link finding the virtual servers, then the product removed with the
# registered uninstall command. The prefix's file tree and registry keys are
# compared before and after. Brellmark broadcasts, so Wine runs in a client
# namespace and the virtual NAS in a server namespace.
# Usage: medium_e2e.sh DRIVER.exe MEDIUM_DIR [OUTDIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tests/harness/lib.sh"

driver=${1:?usage: medium_e2e.sh DRIVER.exe MEDIUM_DIR [OUTDIR]}
medium=${2:?medium directory}
outdir=${3:-$(harness_build_dir)/medium-shots}
[ -f "$driver" ] && [ -f "$medium/KDZ_INIT.exe" ] || harness_die "missing $driver or $medium/KDZ_INIT.exe"

harness_init 300
harness_start_xvfb
harness_netns_up medium
tmp=$(harness_tmpdir)
harness_start_vnas "$root/app/tests/e2e/four-servers.conf" "$tmp/vnas.log"
harness_wine_client_prefix
mkdir -p "$outdir"
rm -f "$outdir"/*.bmp "$outdir"/*.png

# What the prefix holds: every file and folder of drive C: and every registry
# key, except what Wine itself changes on any run (temporary folders, the
# hardware and volatile keys, its own settings, the shell's recent lists).
settle() { timeout 60 wineserver -w >/dev/null 2>&1 || true; }
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . -mindepth 1 -printf '%y %p\n') |
        grep -Eiv '^. \./(windows/(temp|logs|installer)|users/[^/]+/(temp|appdata/local/temp))(/|$)' |
        LC_ALL=C sort >"$1.files"
    for hive in system user; do
        sed -n 's/^\[\(.*\)\].*/\1/p' "$WINEPREFIX/$hive.reg" |
            grep -Eiv '^(Hardware|Software\\\\Wine|Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer|System\\\\CurrentControlSet\\\\(Control\\\\(Session Manager|Print|Class)|Enum|Services))(\\\\|$)' |
            sed "s/^/$hive: /"
    done | LC_ALL=C sort >"$1.keys"
}

# The prefix's first Wine process starts in the client namespace; it also
# lets Wine finish its own first-run changes before the first snapshot.
harness_in_client wine cmd /c exit </dev/null >/dev/null 2>&1 || true
settle
snapshot "$tmp/before"

export TAVIX_MEDIUM=$medium TAVIX_SHOT_DIR=$outdir
rc=0
harness_in_client wine "$driver" </dev/null >"$tmp/driver.out" 2>&1 || rc=$?
cat "$tmp/driver.out"
settle
snapshot "$tmp/after"

for kind in files keys; do
    if ! diff -u "$tmp/before.$kind" "$tmp/after.$kind" >"$tmp/diff.$kind"; then
        harness_log "the prefix's $kind differ after install and uninstall:"
        grep '^[-+][^-+]' "$tmp/diff.$kind" | head -40 | sed 's/^/  /' >&2
        rc=1
    else
        harness_log "the prefix's $kind are as before ($(wc -l <"$tmp/before.$kind") entries)"
    fi
done

for bmp in "$outdir"/*.bmp; do
    [ -f "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null && rm -f "$bmp" && harness_log "screenshot: ${bmp%.bmp}.png"
done
exit "$rc"
