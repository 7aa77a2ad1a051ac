# Test harness for the end-to-end tests and the demo: Xvfb, Wine prefixes,
# a pair of network namespaces joined by a veth pair, and the virtual NAS.
#
# Sourced by bash scripts (tests/e2e/*.sh, scripts/wine-run.sh). Everything
# that can send to the network runs inside the namespaces made here; nothing
# is ever configured in the namespace the script starts in.
#
#   client namespace ($HARNESS_NS_C)  10.77.0.2/16 on the client veth
#   server namespace ($HARNESS_NS_S)  10.77.0.1/16 on $HARNESS_DEV_S, plus the
#                                     addresses the virtual servers add
#
# harness_netns_subnets_up makes three namespaces instead, for a client with
# two adapters: the client and server namespaces above, plus a second server
# namespace ($HARNESS_NS_T, 10.78.0.1/16 on $HARNESS_DEV_T) reached by the
# client's second adapter ($HARNESS_DEV_D, 10.78.0.2/16), behind which the
# subnet 10.79.0.0/16 is reachable only by routing.
#
# Every wait is bounded. harness_init installs the clean-up trap and a
# watchdog that ends the whole test after a time-out.

if [ -n "${_HARNESS_LIB_LOADED:-}" ]; then
    return 0
fi
_HARNESS_LIB_LOADED=1

HARNESS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

HARNESS_CLIENT_IP=10.77.0.2
HARNESS_SERVER_IP=10.77.0.1

# State kept for harness_cleanup.
_HARNESS_XVFB_PID=
_HARNESS_NETNS_OWNED=
_HARNESS_CLIENT_PREFIX=
_HARNESS_WATCHDOG_PID=
_HARNESS_CLEANED=
_HARNESS_TMP=
_HARNESS_VNAS_PIDS=
_HARNESS_NETNS_ETC=

harness_log() { echo "harness: $*" >&2; }

harness_die() {
    harness_log "error: $*"
    exit 1
}

# The build directory: $TAVIX_BUILD_DIR, else <repo>/build.
harness_build_dir() {
    echo "${TAVIX_BUILD_DIR:-$HARNESS_ROOT/build}"
}

# A private scratch directory, removed by harness_cleanup (or, for a caller
# that execs away, by the Xvfb reaper). Made when the library is sourced:
# callers read it as $(harness_tmpdir), in a subshell that cannot remember a
# directory made there.
_harness_make_tmp() {
    [ -n "$_HARNESS_TMP" ] && [ -d "$_HARNESS_TMP" ] && return 0
    _HARNESS_TMP=$(mktemp -d "${TMPDIR:-/tmp}/tavix-harness.XXXXXX")
}
harness_tmpdir() {
    _harness_make_tmp
    echo "$_HARNESS_TMP"
}

# Slow-down factor of this run ($TAVIX_TIME_SCALE, a whole number, default 1):
# 32-bit Wine under user-space emulation is several times slower, so every
# time limit of the harness and of the Windows test drivers is multiplied.
harness_time_scale() {
    local n=${TAVIX_TIME_SCALE:-1}
    case "$n" in
    '' | *[!0-9]* | 0) echo 1 ;;
    *) echo "$n" ;;
    esac
}

# Polls `cmd...` every 0.1 s until it succeeds or `seconds` have passed.
harness_wait_for() {
    local seconds=$1
    shift
    local tries=$((seconds * 10)) i
    for ((i = 0; i < tries; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Sends TERM to `pid`, waits up to `seconds` for it to go, then KILL.
_harness_stop_pid() {
    local pid=$1 seconds=${2:-5}
    [ -n "$pid" ] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    harness_wait_for "$seconds" _harness_pid_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
_harness_pid_gone() { ! kill -0 "$1" 2>/dev/null; }

# ---------------------------------------------------------------------------
# Xvfb

# Free: no lock file, or one whose server has gone (Xvfb replaces a stale
# lock and socket itself).
_harness_display_free() {
    local n=$1 pid
    if [ -e "/tmp/.X$n-lock" ]; then
        pid=$(tr -dc 0-9 <"/tmp/.X$n-lock" 2>/dev/null)
        [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null
        return
    fi
    [ ! -e "/tmp/.X11-unix/X$n" ]
}

# Where the harness notes which process owns each Xvfb it started.
_HARNESS_XVFB_OWNERS=/tmp/.tavix-xvfb

_harness_display_up() {
    DISPLAY=":$1" xdpyinfo >/dev/null 2>&1
}

# Starts Xvfb on the first free display from :90 up (1280x1024x24), waits until
# it accepts connections and exports DISPLAY. The server is stopped by
# harness_cleanup, or, when the caller replaces itself with exec (as the Wine
# emulator script does), when the calling process ends.
harness_start_xvfb() {
    command -v Xvfb >/dev/null || harness_die "Xvfb is not installed"
    _harness_make_tmp
    local n log pid owner=$$
    log="$(harness_tmpdir)/xvfb.log"
    for ((n = 90; n < 190; n++)); do
        _harness_display_free "$n" || continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >>"$log" 2>&1 </dev/null &
        pid=$!
        # Another test may have taken the same number at the same moment:
        # then this server exits at once and the next number is tried.
        local i
        for ((i = 0; i < 100; i++)); do
            _harness_display_up "$n" && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null && _harness_display_up "$n"; then
            _HARNESS_XVFB_PID=$pid
            echo "$pid" >>"$(harness_tmpdir)/keep.pids"
            mkdir -p "$_HARNESS_XVFB_OWNERS"
            echo "$pid $owner" >"$_HARNESS_XVFB_OWNERS/$n"
            export DISPLAY=":$n"
            # Reaper for callers that exec away their shell (no trap runs):
            # stops this server when the calling process is gone.
            (
                trap - EXIT INT TERM
                local j
                for ((j = 0; j < 86400; j++)); do
                    kill -0 "$owner" 2>/dev/null || break
                    kill -0 "$pid" 2>/dev/null || exit 0
                    sleep 1
                done
                # Let the Wine processes of the prefix end first: they would
                # complain about the lost display.
                if [ -n "${WINEPREFIX:-}" ]; then
                    timeout 15 wineserver -w 2>/dev/null
                fi
                kill -TERM "$pid" 2>/dev/null
                [ -n "${HARNESS_KEEP_TMP:-}" ] || rm -rf "$_HARNESS_TMP"
            ) </dev/null >/dev/null 2>&1 &
            return 0
        fi
        _harness_stop_pid "$pid" 2
    done
    harness_die "no free X display between :90 and :189 (see $log)"
}

# ---------------------------------------------------------------------------
# Wine

# True when this machine can execute 32-bit x86 programs now (some virtual
# machines run 64-bit user code only; then 32-bit Wine works only under the
# emulation of scripts/i386-emulation.sh).
harness_can_run_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# True when 32-bit programs run here without the test runs' emulation entry.
_harness_runs_32bit_natively() {
    [ ! -e /proc/sys/fs/binfmt_misc/tavix-i386 ] && harness_can_run_32bit
}

# The prefix architecture: $HARNESS_WINEARCH (every CTest test sets it from
# the tree it belongs to), else win32 where this machine runs 32-bit programs
# natively (the demo shows the shipped build), else win64 (the x86_64 twin).
_harness_tree_winearch() {
    if [ -n "${HARNESS_WINEARCH:-}" ]; then
        echo "$HARNESS_WINEARCH"
    elif _harness_runs_32bit_natively; then
        echo win32
    else
        echo win64
    fi
}

# The Windows build tree of the programs to run: win32 (shipped) or win64.
harness_test_tree() {
    if [ "$(_harness_tree_winearch)" = win32 ]; then echo win32; else echo win64; fi
}

# Chooses the Wine loader for the prefix architecture and exports WINEARCH and
# HARNESS_WINE. `wine` on PATH is pointed at that loader: with a 64-bit prefix
# Debian's wrapper would pick the 32-bit one whenever it is installed, even
# where it cannot run.
harness_wine_select() {
    local arch loader shim
    arch=$(_harness_tree_winearch)
    [ -n "${HARNESS_WINE:-}" ] && [ "${_HARNESS_WINE_ARCH:-}" = "$arch" ] && return 0
    command -v wine >/dev/null || harness_die "Wine is not installed"
    case "$arch" in
    win32)
        [ -n "${TAVIX_I386_USERNS:-}${TAVIX_I386_PRIVATE:-}" ] || harness_can_run_32bit ||
            harness_die "this machine cannot run 32-bit programs, so 32-bit Wine does not" \
                "work here; run the 32-bit tests through scripts/test-32bit.sh (it makes them" \
                "run under qemu-i386-static) or the x86_64 twin (HARNESS_WINEARCH=win64)"
        loader=/usr/lib/wine/wine
        ;;
    win64)
        loader=$(command -v wine64 || true)
        [ -n "$loader" ] || loader=/usr/lib/wine/wine64
        [ -x "$loader" ] || harness_die "64-bit Wine (package wine64) is not installed"
        ;;
    *) harness_die "unknown WINEARCH '$arch'" ;;
    esac
    export WINEARCH=$arch
    # `wine` on PATH runs this architecture's loader, whatever an inherited
    # PATH or the distribution's wrapper would choose. Under
    # scripts/test-32bit.sh's emulation every run of it joins the run's user
    # namespace ($TAVIX_I386_USERNS), whose own binfmt_misc hands 32-bit
    # programs to qemu-i386-static; nothing outside it sees that. (With
    # $TAVIX_I386_PRIVATE alone, each run gets a user namespace of its own.)
    shim="$(harness_wine_dir)/bin"
    mkdir -p "$shim"
    local text emu="$HARNESS_ROOT/scripts/i386-emulation.sh"
    text=$(printf '#!/bin/sh\n[ -z "${TAVIX_I386_USERNS:-}" ] || exec %s enter "$TAVIX_I386_USERNS" %s "$@"\n[ -z "${TAVIX_I386_PRIVATE:-}" ] || exec %s exec %s "$@"\nexec %s "$@"' \
        "$emu" "$loader" "$emu" "$loader" "$loader")
    if [ "$(cat "$shim/wine" 2>/dev/null)" != "$text" ]; then
        echo "$text" >"$shim/wine.$$"
        chmod +x "$shim/wine.$$"
        mv -f "$shim/wine.$$" "$shim/wine"
    fi
    export PATH="$shim:$PATH"
    export HARNESS_WINE=$shim/wine
    _HARNESS_WINE_ARCH=$arch
    export WINEDEBUG=${WINEDEBUG:--all}
}

# The prefixes of one architecture in this build directory:
# <build>/wine/win32 or <build>/wine/win64 (template, host, ns-*, bin).
harness_wine_dir() {
    echo "$(harness_build_dir)/wine/${WINEARCH:-$(_harness_tree_winearch)}"
}

# Builds the template prefix of $WINEARCH once per build directory (about
# 15 s natively, under a minute under emulation). Runs wineboot in a network
# namespace of its own, so that creating it cannot reach any network.
# Serialised with flock: parallel tests wait for the first one, as long as
# the whole creation may take.
_harness_build_template() {
    local base template lock scale
    base=$(harness_wine_dir)
    template="$base/template"
    lock="$base/template.lock"
    scale=$(harness_time_scale)
    mkdir -p "$base"
    (
        flock -w $((700 * scale)) 9 || harness_die "timed out waiting for the template prefix lock"
        if [ -f "$template/.harness-ready" ] &&
            [ "$(cat "$template/.harness-ready")" = "$WINEARCH" ] &&
            [ -f "$template/drive_c/windows/Fonts/tahoma.ttf" ]; then
            exit 0
        fi
        harness_log "creating the $WINEARCH template prefix in $template (once per build dir)"
        if [ -d "$template" ]; then
            WINEPREFIX="$template" timeout 20 wineserver -k >/dev/null 2>&1 || true
            rm -rf "$template"
        fi
        local isolate=()
        if unshare --net true 2>/dev/null; then
            isolate=(unshare --net)
        fi
        local started=$SECONDS rc=0
        "${isolate[@]}" env WINEPREFIX="$template" WINEARCH="$WINEARCH" WINEDEBUG=-all \
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" DISPLAY= \
            timeout $((300 * scale)) "$HARNESS_WINE" wineboot -i >"$base/template.log" 2>&1 || rc=$?
        # The first Wine process waits at most 5 minutes for the prefix's own
        # set-up, which goes on without it (under emulation on a busy machine
        # it takes longer): wait until every process of the prefix has ended,
        # then judge by what the set-up left.
        WINEPREFIX="$template" timeout $((300 * scale)) wineserver -w >/dev/null 2>&1 || true
        if [ ! -f "$template/.update-timestamp" ] || [ ! -f "$template/system.reg" ] ||
            [ ! -f "$template/drive_c/windows/system32/kernel32.dll" ]; then
            harness_die "wineboot failed (exit code $rc), see $base/template.log"
        fi
        [ "$rc" -eq 0 ] || harness_log "wineboot gave up waiting (exit code $rc), but the prefix set-up finished"
        # Without a window manager Wine must draw captions and frames itself;
        # dialogs use Wine's own Tahoma so they have their designed size.
        local key='HKCU\Software\Wine\X11 Driver'
        for value in Managed Decorated; do
            "${isolate[@]}" env WINEPREFIX="$template" WINEARCH="$WINEARCH" WINEDEBUG=-all DISPLAY= \
                timeout $((120 * scale)) "$HARNESS_WINE" reg add "$key" /v "$value" /d N /f \
                >>"$base/template.log" 2>&1 || harness_die "cannot set $value, see $base/template.log"
        done
        if [ -d /usr/share/wine/fonts ]; then
            cp /usr/share/wine/fonts/*.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null || true
        fi
        WINEPREFIX="$template" timeout 20 wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX="$template" timeout 20 wineserver -w >/dev/null 2>&1 || true
        echo "$WINEARCH" >"$template/.harness-ready"
        harness_log "template prefix ready after $((SECONDS - started)) s"
    ) 9>"$lock" || exit 1
}

# Makes the template prefix of the tree's architecture ready (the slow part
# of a first run), so that tests only copy it.
harness_make_template() {
    harness_wine_select
    _harness_build_template
}

# Makes DIR a ready Wine prefix of the tree's architecture (a copy of the
# template when DIR does not exist yet) and exports WINEARCH and WINEDEBUG.
harness_prepare_prefix() {
    local dir=$1
    [ -n "$dir" ] || harness_die "harness_prepare_prefix: no directory given"
    harness_wine_select
    [ -d "$dir" ] && return 0
    _harness_build_template
    local template tmp
    template="$(harness_wine_dir)/template"
    tmp="$dir.tmp.$$"
    rm -rf "$tmp"
    mkdir -p "$(dirname "$dir")"
    cp -a "$template" "$tmp" || harness_die "cannot copy the template prefix to $tmp"
    rm -f "$tmp/.harness-ready"
    # A parallel test may have made the same prefix meanwhile: keep theirs.
    mv -T "$tmp" "$dir" 2>/dev/null || rm -rf "$tmp"
}

# Prepares a private prefix for the client namespace and exports WINEPREFIX.
# No wineserver of it may run yet: the first Wine process must start inside
# the namespace (see harness_in_client) so that the server and with it every
# socket of the programs lives there.
harness_wine_client_prefix() {
    [ -n "${HARNESS_NS_C:-}" ] || harness_die "harness_wine_client_prefix: call harness_netns_up first"
    local dir
    harness_wine_select
    dir="$(harness_wine_dir)/ns-$HARNESS_NS_C"
    if [ -d "$dir" ]; then
        WINEPREFIX="$dir" timeout 20 wineserver -k >/dev/null 2>&1 || true
        rm -rf "$dir"
    fi
    _HARNESS_CLIENT_PREFIX=$dir
    harness_prepare_prefix "$dir"
    export WINEPREFIX="$dir"
}

# Runs `cmd...` in the client namespace with the current environment (so
# `wine` finds the client prefix, DISPLAY and the loader).
harness_in_client() {
    [ -n "${HARNESS_NS_C:-}" ] || harness_die "harness_in_client: no namespaces"
    ip netns exec "$HARNESS_NS_C" "$@"
}

# Runs `cmd...` in the server namespace.
harness_in_server() {
    [ -n "${HARNESS_NS_S:-}" ] || harness_die "harness_in_server: no namespaces"
    ip netns exec "$HARNESS_NS_S" "$@"
}

# Sends one UDP datagram of `size` bytes (0x00, 0x01, ... repeating) from the
# server namespace to host:port; with `source`, from that address (it must be
# one of the server side's addresses).
harness_server_send_udp() {
    local host=$1 port=$2 size=$3 source=${4:-}
    harness_in_server python3 - "$host" "$port" "$size" "$source" <<'EOF'
import socket, sys
host, port, size, source = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
if source:
    s.bind((source, 0))
s.sendto(bytes(i % 256 for i in range(size)), (host, port))
EOF
}

# ---------------------------------------------------------------------------
# Network namespaces

# Creates the client and server namespaces `PREFIX-c` and `PREFIX-s` (the
# process id is appended to PREFIX unless it holds it already) joined by a
# veth pair created inside them. Exports HARNESS_NS_C, HARNESS_NS_S,
# HARNESS_DEV_C and HARNESS_DEV_S.
harness_netns_up() {
    local prefix=${1:-tavix}
    [ -z "$_HARNESS_NETNS_OWNED" ] || harness_die "harness_netns_up: namespaces are up already"
    [ "$(id -u)" -eq 0 ] || harness_die "network namespaces need root"
    command -v ip >/dev/null || harness_die "iproute2 (ip) is not installed"
    ip netns list >/dev/null 2>&1 || harness_die "'ip netns' does not work here; refusing to go on"
    case "$prefix" in
    *"$$"*) ;;
    *) prefix="$prefix-$$" ;;
    esac
    local ns_c="$prefix-c" ns_s="$prefix-s"
    local dev_c="tvxc$$" dev_s="tvxs$$"
    harness_sweep_stale
    if ip netns list | grep -qE "^($ns_c|$ns_s)( |\$)"; then
        harness_die "namespace $ns_c or $ns_s exists already"
    fi
    _HARNESS_NETNS_OWNED=1
    HARNESS_NS_C=$ns_c
    HARNESS_NS_S=$ns_s
    ip netns add "$ns_c" || harness_die "cannot create namespace $ns_c"
    ip netns add "$ns_s" || harness_die "cannot create namespace $ns_s"
    # Both ends are created inside the namespaces: nothing appears in ours.
    ip -n "$ns_c" link add "$dev_c" type veth peer name "$dev_s" netns "$ns_s" ||
        harness_die "cannot create the veth pair"
    local ns
    for ns in "$ns_c" "$ns_s"; do
        ip -n "$ns" link set lo up || harness_die "lo up in $ns"
        # No IPv6 chatter on the test link.
        ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 2>/dev/null || true
    done
    ip -n "$ns_c" addr add "$HARNESS_CLIENT_IP/16" dev "$dev_c" || harness_die "client address"
    ip -n "$ns_s" addr add "$HARNESS_SERVER_IP/16" dev "$dev_s" || harness_die "server address"
    ip -n "$ns_c" link set "$dev_c" up || harness_die "client veth up"
    ip -n "$ns_s" link set "$dev_s" up || harness_die "server veth up"
    # Default routes over the veth: 255.255.255.255 leaves by it and by
    # nothing else (there is nothing else).
    ip -n "$ns_c" route add default dev "$dev_c" || harness_die "client default route"
    ip -n "$ns_s" route add default dev "$dev_s" || harness_die "server default route"
    export HARNESS_NS_C HARNESS_NS_S
    export HARNESS_DEV_C=$dev_c HARNESS_DEV_S=$dev_s
}

# Creates the client namespace `PREFIX-c` with two adapters on two subnets and
# a server namespace on each: `PREFIX-s` on 10.77.0.0/16 (the client's
# default route, so 255.255.255.255 leaves by that adapter only) and
# `PREFIX-t` on 10.78.0.0/16, through which the client reaches 10.79.0.0/16
# (addresses the virtual servers of `PREFIX-t` add there are reachable only by
# routing, never by a broadcast). With HOSTS (lines of /etc/hosts), the client
# namespace gets them as its own hosts file (`ip netns exec` puts
# /etc/netns/NAME/hosts in place of /etc/hosts). Exports HARNESS_NS_C,
# HARNESS_NS_S, HARNESS_NS_T and HARNESS_DEV_C, HARNESS_DEV_D, HARNESS_DEV_S,
# HARNESS_DEV_T.
harness_netns_subnets_up() {
    local prefix=${1:-tavix} hosts=${2:-}
    harness_netns_up "$prefix"
    local ns_t="${HARNESS_NS_C%-c}-t" dev_d="tvxd$$" dev_t="tvxt$$"
    if ip netns list | grep -qE "^$ns_t( |\$)"; then
        harness_die "namespace $ns_t exists already"
    fi
    HARNESS_NS_T=$ns_t
    ip netns add "$ns_t" || harness_die "cannot create namespace $ns_t"
    ip -n "$HARNESS_NS_C" link add "$dev_d" type veth peer name "$dev_t" netns "$ns_t" ||
        harness_die "cannot create the second veth pair"
    ip -n "$ns_t" link set lo up || harness_die "lo up in $ns_t"
    ip netns exec "$ns_t" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 2>/dev/null || true
    ip -n "$HARNESS_NS_C" addr add 10.78.0.2/16 dev "$dev_d" || harness_die "second client address"
    ip -n "$ns_t" addr add 10.78.0.1/16 dev "$dev_t" || harness_die "second server address"
    ip -n "$HARNESS_NS_C" link set "$dev_d" up || harness_die "second client veth up"
    ip -n "$ns_t" link set "$dev_t" up || harness_die "second server veth up"
    ip -n "$HARNESS_NS_C" route add 10.79.0.0/16 via 10.78.0.1 dev "$dev_d" ||
        harness_die "route to the routed subnet"
    ip -n "$ns_t" route add default dev "$dev_t" || harness_die "second server default route"
    if [ -n "$hosts" ]; then
        _HARNESS_NETNS_ETC=/etc/netns/$HARNESS_NS_C
        mkdir -p "$_HARNESS_NETNS_ETC" || harness_die "cannot create $_HARNESS_NETNS_ETC"
        printf '127.0.0.1 localhost\n%s\n' "$hosts" >"$_HARNESS_NETNS_ETC/hosts"
    fi
    export HARNESS_NS_T HARNESS_DEV_D=$dev_d HARNESS_DEV_T=$dev_t
}

# Ends every process left in namespace `ns` (all were started by this test).
_harness_netns_kill() {
    local ns=$1 pids pid
    ip netns list | grep -qE "^$ns( |\$)" || return 0
    pids=$(ip netns pids "$ns" 2>/dev/null || true)
    for pid in $pids; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in $pids; do
        harness_wait_for 5 _harness_pid_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
    done
}

# Removes what earlier runs of the harness left behind when they were killed
# (a CTest time-out, say) before their clean-up ran: namespaces
# `NAME-PID-c`/`NAME-PID-s` whose creating process PID has gone (and the
# processes still in them, which only that run started), their prefixes in
# this build directory, and Xvfb servers whose owner has gone. Anything whose
# owner still runs is left alone: other runs share this machine.
harness_sweep_stale() {
    local ns pid kind dev n line xpid owner
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}'); do
        [[ "$ns" =~ ^[a-z][a-z0-9_]*-([0-9]+)-([cst])$ ]] || continue
        pid=${BASH_REMATCH[1]}
        kind=${BASH_REMATCH[2]}
        [ -d "/proc/$pid" ] && continue
        # Only namespaces of the harness: nothing in them but lo and its own
        # ends of the veth pairs (gone already when the peer was deleted).
        # (One awk: a grep that filters every line out fails the pipeline.)
        dev=$(ip -n "$ns" -o link show 2>/dev/null |
            awk -F': ' -v own="tvx$kind$pid" -v second="tvxd$pid" -v kind="$kind" '
                { sub(/@.*/, "", $2) }
                $2 != "lo" && $2 != own && !(kind == "c" && $2 == second) { print $2 }') || true
        [ -z "$dev" ] || continue
        _harness_netns_kill "$ns"
        ip netns del "$ns" 2>/dev/null && harness_log "removed the stale namespace $ns"
        if [ "$kind" = c ] && [ -f "/etc/netns/$ns/hosts" ]; then
            rm -f "/etc/netns/$ns/hosts"
            rmdir "/etc/netns/$ns" /etc/netns 2>/dev/null || true
        fi
    done
    local dir
    for dir in "$(harness_build_dir)"/wine/ns-* "$(harness_build_dir)"/wine/win*/ns-*; do
        [ -d "$dir" ] || continue
        [[ "${dir##*/}" =~ ^ns-[a-z][a-z0-9_]*-([0-9]+)-c$ ]] || continue
        pid=${BASH_REMATCH[1]}
        [ -d "/proc/$pid" ] && continue
        WINEPREFIX="$dir" timeout 20 wineserver -k >/dev/null 2>&1 || true
        rm -rf "$dir" && harness_log "removed the stale prefix $dir"
    done
    for line in "$_HARNESS_XVFB_OWNERS"/*; do
        [ -f "$line" ] || continue
        n=${line##*/}
        read -r xpid owner <"$line" || continue
        [ -n "$owner" ] && [ -d "/proc/$owner" ] && continue
        if [ -n "$xpid" ] && tr '\0' ' ' 2>/dev/null <"/proc/$xpid/cmdline" | grep -q "^Xvfb :$n "; then
            kill -TERM "$xpid" 2>/dev/null && harness_log "stopped the stale Xvfb on :$n"
        fi
        rm -f "$line"
    done
}

# ---------------------------------------------------------------------------
# Virtual NAS

# Starts the virtual NAS in the server namespace, managing the server side's
# addresses (vnas takes the configuration file as its last argument), waits
# for its "ready" line and exports HARNESS_VNAS_PID. Its standard output and
# error go to LOGFILE.stdout.
harness_start_vnas() {
    [ -n "${HARNESS_NS_S:-}" ] || harness_die "harness_start_vnas: call harness_netns_up first"
    harness_start_vnas_in "$HARNESS_NS_S" "$HARNESS_DEV_S" "$@"
}

# The same in namespace NS, managing the addresses of its device DEV. Several
# may run at once; harness_cleanup stops them all. HARNESS_VNAS_PID is the
# last one's.
harness_start_vnas_in() {
    local ns=$1 device=$2 config=$3 logfile=$4
    shift 4
    local bin
    bin="$(harness_build_dir)/native/vnas/vnas"
    [ -x "$bin" ] || harness_die "$bin is missing: build the native tree first"
    local out="$logfile.stdout"
    : >"$out"
    # `ip netns exec` replaces itself with the program: $! is the NAS.
    ip netns exec "$ns" "$bin" --manage-addresses "$device" \
        --log "$logfile" "$@" "$config" >"$out" 2>&1 </dev/null &
    HARNESS_VNAS_PID=$!
    _HARNESS_VNAS_PIDS="$_HARNESS_VNAS_PIDS $HARNESS_VNAS_PID"
    export HARNESS_VNAS_PID
    local i
    for ((i = 0; i < 100; i++)); do
        grep -qx ready "$out" && return 0
        kill -0 "$HARNESS_VNAS_PID" 2>/dev/null || break
        sleep 0.1
    done
    harness_log "vnas did not get ready; its output:"
    sed 's/^/  /' "$out" >&2
    harness_die "vnas failed to start"
}

# ---------------------------------------------------------------------------
# Set-up and clean-up

# Stops what this script started: the NAS, the Wine processes of the client
# prefix, the namespaces, the private prefix, Xvfb. Safe to call twice.
harness_cleanup() {
    [ -z "$_HARNESS_CLEANED" ] || return 0
    _HARNESS_CLEANED=1
    if [ -n "$_HARNESS_WATCHDOG_PID" ] && [ "$_HARNESS_WATCHDOG_PID" != "${BASHPID:-}" ]; then
        kill -TERM "$_HARNESS_WATCHDOG_PID" 2>/dev/null || true
    fi
    local vnas
    for vnas in $_HARNESS_VNAS_PIDS ${HARNESS_VNAS_PID:-}; do
        _harness_stop_pid "$vnas" 5
    done
    if [ -n "$_HARNESS_CLIENT_PREFIX" ]; then
        if [ -n "${HARNESS_NS_C:-}" ] && ip netns list | grep -qE "^$HARNESS_NS_C( |\$)"; then
            ip netns exec "$HARNESS_NS_C" env WINEPREFIX="$_HARNESS_CLIENT_PREFIX" \
                timeout 20 wineserver -k >/dev/null 2>&1 || true
        fi
        WINEPREFIX="$_HARNESS_CLIENT_PREFIX" timeout 20 wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -n "$_HARNESS_NETNS_OWNED" ]; then
        local ns
        for ns in "${HARNESS_NS_C:-}" "${HARNESS_NS_S:-}" "${HARNESS_NS_T:-}"; do
            [ -n "$ns" ] || continue
            _harness_netns_kill "$ns"
            ip netns del "$ns" 2>/dev/null || true
        done
        _HARNESS_NETNS_OWNED=
    fi
    if [ -n "$_HARNESS_NETNS_ETC" ]; then
        rm -f "$_HARNESS_NETNS_ETC/hosts"
        rmdir "$_HARNESS_NETNS_ETC" 2>/dev/null || true
        # /etc/netns itself too, when nothing else is in it.
        rmdir /etc/netns 2>/dev/null || true
        _HARNESS_NETNS_ETC=
    fi
    if [ -n "$_HARNESS_CLIENT_PREFIX" ]; then
        rm -rf "$_HARNESS_CLIENT_PREFIX"
        _HARNESS_CLIENT_PREFIX=
    fi
    if [ -n "$_HARNESS_XVFB_PID" ]; then
        _harness_stop_pid "$_HARNESS_XVFB_PID" 5
        _HARNESS_XVFB_PID=
    fi
    if [ -n "$_HARNESS_TMP" ] && [ -z "${HARNESS_KEEP_TMP:-}" ]; then
        rm -rf "$_HARNESS_TMP"
    fi
}

_harness_on_signal() {
    harness_log "interrupted"
    harness_cleanup
    exit 130
}

# Installs the clean-up trap and a watchdog that ends the test after
# `timeout` seconds (default 300, or $HARNESS_TIMEOUT) times the run's
# slow-down factor.
harness_init() {
    local timeout=${1:-${HARNESS_TIMEOUT:-300}}
    timeout=$((timeout * $(harness_time_scale)))
    _harness_make_tmp
    trap harness_cleanup EXIT
    trap _harness_on_signal INT TERM
    local owner=$$ keep
    keep="$(harness_tmpdir)/keep.pids"
    (
        trap - EXIT INT
        sleep "$timeout" </dev/null >/dev/null 2>&1 &
        sleeper=$!
        trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
        wait "$sleeper"
        trap - TERM
        echo "harness: time-out after $timeout s, stopping the test" >&2
        # The trap of the test runs once its foreground command ends: end
        # the test's children (by parent id; Xvfb stays for the clean-up)
        # and then the test.
        for child in $(pgrep -P "$owner"); do
            [ "$child" = "$BASHPID" ] && continue
            grep -qx "$child" "$keep" 2>/dev/null && continue
            kill -TERM "$child" 2>/dev/null
        done
        kill -TERM "$owner" 2>/dev/null
        sleep 30
        kill -KILL "$owner" 2>/dev/null
    ) </dev/null &
    _HARNESS_WATCHDOG_PID=$!
}
