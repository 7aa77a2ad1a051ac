#!/usr/bin/env bash
# Runs the real Brellmark.exe under Wine in a client namespace against virtual
# servers in a server namespace, with the test network provider registered in
# the client's prefix, driven by mapdrive_e2e.exe.
# Usage: mapdrive_e2e.sh DRIVER.exe BRELLMARK.exe PROVIDER.dll [OUTDIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../tests/harness/lib.sh"

driver=${1:?usage: mapdrive_e2e.sh DRIVER.exe BRELLMARK.exe PROVIDER.dll [OUTDIR]}
brellmark=${2:?Brellmark.exe}
provider=${3:?provider dll}
outdir=${4:-$(harness_build_dir)}
for f in "$driver" "$brellmark" "$provider"; do
    [ -f "$f" ] || harness_die "missing $f"
done

harness_init 300
harness_start_xvfb
harness_netns_up "bmmap"
tmp=$(harness_tmpdir)
: >"$tmp/vnas.log"
: >"$tmp/testnet.log"
# The shared folders behind drive letters: ROOT/SERVER/SHARE.
cp "$here/testnet.conf" "$tmp/testnet.conf"
echo "root $tmp/shares" >>"$tmp/testnet.conf"
mkdir -p "$tmp/shares/NAS-AUTH/Projects" "$tmp/shares/NAS-AUTH/backup"
echo plan >"$tmp/shares/NAS-AUTH/Projects/plan.txt"
harness_start_vnas "$here/mapdrive-servers.conf" "$tmp/vnas.log"

harness_wine_client_prefix
# The provider order and the provider's service key, as mpr reads them at load.
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
reg_add() { harness_in_client wine reg add "$@" /f >/dev/null 2>&1 || harness_die "reg add $*"; }
reg_add 'HKLM\System\CurrentControlSet\Control\NetworkProvider\Order' /v ProviderOrder /d TavixTestNet
reg_add 'HKLM\System\CurrentControlSet\Services\TavixTestNet\NetworkProvider' /v Name /d 'Tavix Test Network'
reg_add 'HKLM\System\CurrentControlSet\Services\TavixTestNet\NetworkProvider' /v ProviderPath /d "$(winpath "$provider")"

export TAVIX_BRELLMARK=$brellmark TAVIX_VNAS_LOG=$tmp/vnas.log TAVIX_OUT=$outdir
export TAVIX_TESTNET_CONF=$tmp/testnet.conf TAVIX_TESTNET_LOG=$tmp/testnet.log
started=$SECONDS
rc=0
harness_in_client wine "$driver" </dev/null >"$tmp/driver.out" 2>&1 || rc=$?
cat "$tmp/driver.out"
cp "$tmp/testnet.log" "$outdir/mapdrive-testnet.log" 2>/dev/null || true
for shot in connect select letter; do
    if [ -f "$outdir/mapdrive-$shot.bmp" ]; then
        convert "$outdir/mapdrive-$shot.bmp" "$outdir/mapdrive-$shot.png" 2>/dev/null &&
            rm -f "$outdir/mapdrive-$shot.bmp"
    fi
done
harness_log "drive mapping ran $((SECONDS - started)) s under Wine, exit code $rc"
if [ "$rc" -ne 0 ]; then
    harness_log "test network log (last 60 lines):"
    tail -n 60 "$tmp/testnet.log" | sed 's/^/  /' >&2 || true
fi
exit "$rc"
