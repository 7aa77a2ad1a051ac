#!/usr/bin/env bash
# Runs the real Brellmark.exe under Wine in a client namespace against virtual
# servers in a server namespace, driven by brellmark_e2e.exe.
# Usage: brellmark_e2e.sh DRIVER.exe BRELLMARK.exe SCENARIO [OUTDIR]
#   four  four virtual servers: listing, log, sorting, second start, refresh
#   none  no server at all: the "no servers" dialog
#   scale 500 virtual servers answering one discovery at once
#   import  account import: mixed file, late and lost answers, and every way
#           out of an import (its windows' keys, exit, a silent server, Refresh)
#   shell   help by locale and web administration by kind, through the real
#           shell to a stand-in browser registered in the test prefix
#   configure  login, basic configuration, write replies, restart and details
#         against the servers of configure-servers.conf; the driver writes
#         control lines into the virtual NAS's FIFO ($TAVIX_VNAS_CONTROL)
#   wizard  the quick configuration wizard against wizard-servers.conf: a full
#         run with disk initialisation, kept password, dropped replies with
#         Retry and Cancel, every way to the failure page, refused inputs;
#         screenshots of the welcome and applying pages
#   prompt  the not-configured prompt against prompt-servers.conf: Yes through
#         login and the wizard to the share selection for the new name (the
#         test network provider, $TAVIX_TESTNET_PROVIDER, lists its shares),
#         "don't ask" stored in the registry and kept at the next start;
#         screenshots of the prompt and the finish page
#   flows   every way out of every flow but the import against
#         flows-servers.conf: Cancel, Escape, the close box, Alt+F4, Return,
#         Exit and the main window's close, a silent server, a rebuilt list,
#         late and look-alike replies (the test network provider lists the
#         shares)
#   keys  every window by keyboard alone against keys-servers.conf: the
#         login, the wizard's pages, basic configuration (both
#         variants), details, About, Find by Address, the discovery report,
#         the import's status and result windows, the drive mapping's
#         (the test network provider, $TAVIX_TESTNET_PROVIDER)
#   subnets  a client with two adapters on two subnets, a virtual NAS on each,
#         and a server in a third subnet reachable only by routing (its name
#         in the client's hosts file): every adapter asked, Find by Address,
#         the discovery report (screenshot)
#   wake    a server listed, put to sleep, woken from "Wake Up a Server" and
#         listed again; the virtual NAS logs the magic packets (wake port 9);
#         records of an earlier run seeded in the registry (screenshot)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../tests/harness/lib.sh"

driver=${1:?usage: brellmark_e2e.sh DRIVER.exe BRELLMARK.exe SCENARIO [OUTDIR]}
brellmark=${2:?Brellmark.exe}
scenario=${3:?scenario}
outdir=${4:-$(harness_build_dir)}
[ -f "$driver" ] && [ -f "$brellmark" ] || harness_die "missing $driver or $brellmark"

limit=300
[ "$scenario" = flows ] && limit=600
harness_init "$limit"
harness_start_xvfb
if [ "$scenario" = subnets ]; then
    harness_netns_subnets_up "bm$scenario" "10.79.1.5 farnas.test farnas"
else
    harness_netns_up "bm$scenario"
fi
tmp=$(harness_tmpdir)
: >"$tmp/vnas.log"

# The test network provider ($TAVIX_TESTNET_PROVIDER) with the servers and
# shares of its configuration (printf format).
testnet=0
use_testnet() {
    provider=${TAVIX_TESTNET_PROVIDER:?the test network provider dll}
    [ -f "$provider" ] || harness_die "missing $provider"
    # shellcheck disable=SC2059
    printf "$1" >"$tmp/testnet.conf"
    : >"$tmp/testnet.log"
    export TAVIX_TESTNET_CONF=$tmp/testnet.conf TAVIX_TESTNET_LOG=$tmp/testnet.log
    testnet=1
}

# The virtual NAS of a configuration, told what to do through its control
# FIFO ($TAVIX_VNAS_CONTROL); further arguments go to it.
controlled_vnas() {
    local conf=$1
    shift
    harness_start_vnas "$conf" "$tmp/vnas.log" --control "$tmp/vnas.ctl" "$@"
    harness_wait_for 5 test -p "$tmp/vnas.ctl" || harness_die "no control FIFO at $tmp/vnas.ctl"
    export TAVIX_VNAS_CONTROL=$tmp/vnas.ctl
}

case "$scenario" in
four)
    controlled_vnas "$here/four-servers.conf"
    filter='BrellmarkTest.*-*NoServers*:*FiveHundred*'
    ;;
none)
    filter='BrellmarkTest.NoServers*'
    ;;
scale)
    cat >"$tmp/scale.conf" <<'CONF'
[generate]
count = 500
first_address = 10.77.1.1
first_mac = 00:11:32:bb:00:01
name_prefix = VNAS-
name_digits = 3
workgroup = WORKGROUP
version = 21 03
configured = 01 00 00 00
netmask = 255.255.0.0
CONF
    harness_start_vnas "$tmp/scale.conf" "$tmp/vnas.log"
    filter='BrellmarkTest.FiveHundred*'
    ;;
configure)
    controlled_vnas "$here/configure-servers.conf"
    filter='ConfigureTest.*'
    ;;
wizard)
    controlled_vnas "$here/wizard-servers.conf"
    filter='WizardTest.*'
    ;;
prompt)
    controlled_vnas "$here/prompt-servers.conf"
    use_testnet 'server PR-DONE open\nshare PR-DONE docs Public\n'
    filter='PromptTest.*'
    ;;
flows)
    controlled_vnas "$here/flows-servers.conf"
    use_testnet 'server FL-STORE open\nshare FL-STORE docs Public\n'
    filter='FlowsTest.*'
    ;;
import)
    controlled_vnas "$here/import-servers.conf"
    filter='ImportTest.*:Ways/ImportWayOutTest.*'
    ;;
shell)
    harness_start_vnas "$here/shell-servers.conf" "$tmp/vnas.log"
    filter='ShellTest.*'
    ;;
keys)
    controlled_vnas "$here/keys-servers.conf"
    use_testnet 'server KEY-NAS user=admin password=secret\nshare KEY-NAS docs Public\n'
    filter='KeysTest.*'
    ;;
subnets)
    harness_start_vnas "$here/subnet-servers.conf" "$tmp/vnas.log"
    harness_start_vnas_in "$HARNESS_NS_T" "$HARNESS_DEV_T" "$here/second-subnet-servers.conf" \
        "$tmp/vnas-second.log"
    harness_start_vnas_in "$HARNESS_NS_T" "$HARNESS_DEV_T" "$here/routed-servers.conf" \
        "$tmp/vnas-routed.log" --bind 10.79.1.5
    export TAVIX_VNAS_LOG_SECOND=$tmp/vnas-second.log TAVIX_VNAS_LOG_ROUTED=$tmp/vnas-routed.log
    filter='DiscoveryTest.*'
    ;;
wake)
    controlled_vnas "$here/wake-servers.conf" --wake-port 9
    filter='WakeTest.*'
    ;;
*) harness_die "unknown scenario $scenario" ;;
esac

harness_wine_client_prefix
if [ "$testnet" = 1 ]; then
    # The provider order and the provider's service key, as mpr reads them.
    winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
    reg_add() { harness_in_client wine reg add "$@" /f >/dev/null 2>&1 || harness_die "reg add $*"; }
    reg_add 'HKLM\System\CurrentControlSet\Control\NetworkProvider\Order' /v ProviderOrder /d TavixTestNet
    reg_add 'HKLM\System\CurrentControlSet\Services\TavixTestNet\NetworkProvider' /v Name /d 'Tavix Test Network'
    reg_add 'HKLM\System\CurrentControlSet\Services\TavixTestNet\NetworkProvider' /v ProviderPath /d "$(winpath "$provider")"
fi
if [ "$scenario" = wake ]; then
    # Remembered from an earlier run: one valid record and three that must
    # not be trusted (a bad time, too long, not text).
    key='HKCU\Software\Kivo\Servers'
    seed() { harness_in_client wine reg add "$key" "$@" /f >/dev/null 2>&1 || harness_die "reg add $*"; }
    seed /v 001132cc00aa /d '1;10.77.5.10;1700000000;GHOST-1'
    seed /v 001132cc00b1 /d '1;10.77.5.11;soon;BAD-TIME'
    seed /v 001132cc00b2 /d "1;10.77.5.12;1700000000;$(printf 'L%.0s' {1..120})"
    seed /v 001132cc00b3 /t REG_DWORD /d 7
fi
export TAVIX_BRELLMARK=$brellmark TAVIX_VNAS_LOG=$tmp/vnas.log TAVIX_OUT=$outdir
mkdir -p "$outdir"
started=$SECONDS
rc=0
harness_in_client wine "$driver" --gtest_filter="$filter" </dev/null >"$tmp/driver.out" 2>&1 || rc=$?
cat "$tmp/driver.out"
harness_log "scenario $scenario ran $((SECONDS - started)) s under Wine, exit code $rc"

for bmp in "$outdir/brellmark-main.bmp" "$outdir/import-result.bmp" \
    "$outdir/wizard-welcome.bmp" "$outdir/wizard-applying.bmp" \
    "$outdir/wizard-prompt.bmp" "$outdir/wizard-finish.bmp" \
    "$outdir/discovery-report.bmp" "$outdir/wake-up.bmp"; do
    [ -f "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null && rm -f "$bmp" &&
        harness_log "screenshot: ${bmp%.bmp}.png"
done
if [ "$scenario" = scale ]; then
    # When the replies left the servers, and how long after the last status
    # reply the list was complete.
    done_us=$(tr -d '\r' <"$tmp/driver.out" | awk -F= '/^list-complete-us=/ {v = $2} END {print v}')
    read -r discovers first_d last_d < <(awk '/^tx / && / cmd=1 / {n++; t = $NF; sub(/t=/, "", t); if (!f) f = t; l = t} END {printf "%d %.0f %.0f\n", n, f, l}' "$tmp/vnas.log")
    read -r replies last_us < <(awk '/^tx / && / cmd=5 / {n++; t = $NF; sub(/t=/, "", t); l = t} END {printf "%d %.0f\n", n, l}' "$tmp/vnas.log")
    harness_log "scale: $discovers discovery replies sent within $((last_d - first_d)) us; $replies status replies"
    if [ -n "$done_us" ] && [ "$last_us" -gt 0 ]; then
        harness_log "scale: list complete $(((done_us - last_us) / 1000)) ms after the last status reply was sent"
    fi
fi
if [ "$scenario" = prompt ]; then
    # What the program left in the prefix's registry.
    harness_log "registry: $(harness_in_client wine reg query 'HKCU\Software\Kivo\Configured' /v Fastrig 2>/dev/null | tr -d '\r' | grep Fastrig || echo none)"
fi
if [ "$rc" -ne 0 ]; then
    # The whole log stays for a look afterwards (the tail below may miss the
    # failed test's lines).
    cp "$tmp/vnas.log" "$outdir/vnas-$scenario-failed.log" 2>/dev/null &&
        harness_log "the virtual NAS's log: $outdir/vnas-$scenario-failed.log"
    harness_log "vnas log (last 60 lines):"
    tail -n 60 "$tmp/vnas.log" | sed 's/^/  /' >&2 || true
fi
exit "$rc"
