#!/usr/bin/env bash
# The harness's clean-up of killed runs and the private 32-bit emulation:
#  - harness_sweep_stale removes namespaces and prefixes whose creating
#    process has gone, and keeps those of live processes and namespaces that
#    hold anything the harness does not make;
#  - i386-emulation.sh exec registers its entry in a binfmt_misc that only
#    the command sees.
# Needs root. Sends nothing: the namespaces made here have no traffic.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export TAVIX_BUILD_DIR
TAVIX_BUILD_DIR=$(mktemp -d /tmp/tavix-sweep.XXXXXX)
. "$root/tests/harness/lib.sh"

failures=0
check() {  # description, command...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
ns_exists() { ip netns list | grep -qE "^$1( |\$)"; }

sleep 0 &
dead=$!
wait "$dead"
made=()
cleanup() {
    local ns
    for ns in "${made[@]}"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "/etc/netns/$stale_c"
    rm -rf "$TAVIX_BUILD_DIR"
}
trap cleanup EXIT

# A killed run's pair, as harness_netns_up makes it.
stale_c=hsweep-$dead-c stale_s=hsweep-$dead-s
ip netns add "$stale_c" && ip netns add "$stale_s" && made+=("$stale_c" "$stale_s")
ip -n "$stale_c" link add "tvxc$dead" type veth peer name "tvxs$dead" netns "$stale_s"
# A killed run of the three-namespace set-up: the client's second adapter,
# the second server namespace and the client's hosts file.
stale_t=hsweep-$dead-t
ip netns add "$stale_t" && made+=("$stale_t")
ip -n "$stale_c" link add "tvxd$dead" type veth peer name "tvxt$dead" netns "$stale_t"
netns_etc_before=$(test -d /etc/netns && echo yes)
mkdir -p "/etc/netns/$stale_c" && echo "10.79.1.5 farnas" >"/etc/netns/$stale_c/hosts"
# A live run's namespace, and one of a gone process that holds a device the
# harness never makes.
live=hsweep-$$-c
ip netns add "$live" && made+=("$live")
foreign_ns=hsweepx-$dead-s
ip netns add "$foreign_ns" && made+=("$foreign_ns")
ip -n "$foreign_ns" link add other0 type veth peer name other1
mkdir -p "$TAVIX_BUILD_DIR/wine/win32/ns-$stale_c" "$TAVIX_BUILD_DIR/wine/win64/ns-$live" \
    "$TAVIX_BUILD_DIR/wine/ns-$stale_c"

# As the test scripts run it: under errexit and pipefail.
check "sweep runs under set -e" bash -c 'set -euo pipefail; . "$1"; harness_sweep_stale 2>/dev/null' \
    _ "$root/tests/harness/lib.sh"

check "stale client namespace removed" bash -c "! ip netns list | grep -qE '^$stale_c( |\$)'"
check "stale server namespace removed" bash -c "! ip netns list | grep -qE '^$stale_s( |\$)'"
check "stale second server namespace removed" bash -c "! ip netns list | grep -qE '^$stale_t( |\$)'"
check "stale client's hosts file removed" test ! -e "/etc/netns/$stale_c"
[ -n "$netns_etc_before" ] || check "no /etc/netns left" test ! -e /etc/netns
check "live run's namespace kept" ns_exists "$live"
check "namespace with a foreign device kept" ns_exists "$foreign_ns"
check "stale prefix removed" test ! -d "$TAVIX_BUILD_DIR/wine/win32/ns-$stale_c"
check "stale prefix of the old layout removed" test ! -d "$TAVIX_BUILD_DIR/wine/ns-$stale_c"
check "live run's prefix kept" test -d "$TAVIX_BUILD_DIR/wine/win64/ns-$live"

emu=$root/scripts/i386-emulation.sh
if "$emu" private; then
    inside=$(TAVIX_EMULATE_I386=1 "$emu" exec sh -c \
        'cat /proc/sys/fs/binfmt_misc/tavix-i386; "$0" check && echo runs' "$emu")
    check "entry registered inside" grep -q "^interpreter .*qemu-i386-static" <<<"$inside"
    check "32-bit program runs inside" grep -qx runs <<<"$inside"
    check "entry invisible outside" test ! -e /proc/sys/fs/binfmt_misc/tavix-i386
else
    echo "skipped: no private binfmt_misc here (kernel before 6.7 or no qemu-i386-static)"
fi
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
