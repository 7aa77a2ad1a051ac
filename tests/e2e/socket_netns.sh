#!/usr/bin/env bash
# Runs the live socket test (protocol/tests/win/socket_test.cpp) under Wine in
# a client namespace, with two virtual servers in the server namespace.
# Usage: socket_netns.sh PATH/TO/socket_netns_test.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../harness/lib.sh"

exe=${1:?usage: socket_netns.sh socket_netns_test.exe}
[ -f "$exe" ] || harness_die "$exe not found"

harness_init 240
harness_start_xvfb
harness_netns_up sock
tmp=$(harness_tmpdir)

cat >"$tmp/vnas.conf" <<'CONF'
[server]
address = 10.77.1.1
mac = 00:0e:70:00:01:01
name = ALPHA

[server]
address = 10.77.1.2
mac = 00:0e:70:00:01:02
name = BRAVO
CONF
harness_start_vnas "$tmp/vnas.conf" "$tmp/vnas.log"
harness_wine_client_prefix

mkdir "$tmp/handshake"
export TAVIX_NETNS_CLIENT_IP=$HARNESS_CLIENT_IP
export TAVIX_NETNS_SERVERS=10.77.1.1,10.77.1.2
export TAVIX_HANDSHAKE_DIR=$tmp/handshake

started=$SECONDS
harness_in_client wine "$exe" </dev/null &
test_pid=$!

# When the test asks for them, send a datagram one byte short of a header,
# one too long for the receive buffer and one of exactly a header's size.
for ((i = 0; i < 1500; i++)); do
    kill -0 "$test_pid" 2>/dev/null || break
    if [ -f "$tmp/handshake/raw-request" ]; then
        for size in 15 1025 16; do
            harness_server_send_udp "$HARNESS_CLIENT_IP" 8097 "$size" "$HARNESS_SERVER_IP"
        done
        touch "$tmp/handshake/raw-sent"
        break
    fi
    sleep 0.1
done

rc=0
wait "$test_pid" || rc=$?
harness_log "socket test ran $((SECONDS - started)) s under Wine, exit code $rc"
if [ "$rc" -ne 0 ]; then
    harness_log "vnas log:"
    sed 's/^/  /' "$tmp/vnas.log" >&2 || true
fi
exit "$rc"
