#!/usr/bin/env bash
# 32-bit x86 Linux programs (and so 32-bit Wine) on machines whose kernel
# cannot run them: a binfmt_misc entry hands every 32-bit x86 ELF file to
# qemu-i386-static, for the length of one test run.
#
#   i386-emulation.sh check        exit 0 when a 32-bit program runs here now
#   i386-emulation.sh needed       exit 0 when the emulation is needed (the
#                                  check fails, or TAVIX_EMULATE_I386=1)
#   i386-emulation.sh private      exit 0 when this kernel gives each user
#                                  namespace a binfmt_misc of its own (6.7+)
#   i386-emulation.sh exec CMD...  runs CMD in a user namespace of its own
#                                  whose binfmt_misc holds the entry: nothing
#                                  outside it sees the entry, and it goes with
#                                  the last process of CMD
#   i386-emulation.sh hold PID     makes such a user namespace (with the entry)
#                                  for a whole run and keeps it while process
#                                  PID lives; prints "userns FILE" once it is
#                                  ready. `enter FILE CMD...` runs CMD in it.
#                                  Every Wine process of a prefix must share
#                                  one user namespace: the wineserver reads
#                                  and writes its clients' memory (one program
#                                  reading another's list view, say), which
#                                  the kernel refuses across sibling user
#                                  namespaces
#   i386-emulation.sh enter FILE CMD...
#                                  runs CMD in the user namespace FILE
#                                  (/proc/PID/ns/user of a `hold`)
#   i386-emulation.sh up PID       make 32-bit programs run for process PID
#                                  with a machine-wide entry (kernels without
#                                  private binfmt_misc): registers it when
#                                  needed and starts a watchdog that takes it
#                                  away once PID ends
#   i386-emulation.sh down PID     PID is done with it: removes the entry when
#                                  no other live process uses it, and unmounts
#                                  binfmt_misc when it was mounted for it
#
# Prefer `hold` and `enter` where `private` holds: a machine-wide entry also
# hands other users' 32-bit programs to the emulator (the 32-bit parts of
# their win64 prefixes, say) and slows them down.
#
# The machine-wide entry is counted in $TAVIX_I386_STATE/owners
# (one file per process, with its start time so that a reused process id does
# not count), so concurrent runs share it and the last one out removes it.
# A run killed so hard that neither its trap nor its watchdog ran leaves an
# entry with no live owner: the next `up` or `down` takes it over or removes
# it. Nothing is registered where 32-bit programs run already (natively or
# through an entry of the machine's own); TAVIX_EMULATE_I386=1 forces the
# emulation even there (binfmt_misc entries come before the kernel's own ELF
# loader), to measure it on a machine that does not need it.
set -uo pipefail

NAME=tavix-i386
BINFMT=/proc/sys/fs/binfmt_misc
QEMU=${TAVIX_QEMU_I386:-/usr/bin/qemu-i386-static}
STATE=${TAVIX_I386_STATE:-/run/tavix-i386}
# 32-bit x86 ELF executables and shared objects (e_type 2 or 3), any OS ABI.
MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

log() { echo "i386-emulation: $*" >&2; }
die() {
    log "error: $*"
    exit 1
}

# Runs a 96-byte static 32-bit x86 program that exits with code 42.
can_run() {
    local dir rc=0
    dir=$(mktemp -d "${TMPDIR:-/tmp}/tavix-i386.XXXXXX") || return 1
    printf '%b' \
        '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
        '\x00\x00\x00\x00' \
        '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
        '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
        '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$dir/exit42"
    chmod +x "$dir/exit42"
    timeout 20 "$dir/exit42" >/dev/null 2>&1 || rc=$?
    rm -rf "$dir"
    [ "$rc" -eq 42 ]
}

needed() {
    [ "${TAVIX_EMULATE_I386:-0}" = 1 ] || ! can_run
}

register_in() {  # binfmt_misc directory
    printf '%s' ":$NAME:M::$MAGIC:$MASK:$QEMU:F" >"$1/register"
}

private() {
    [ -x "$QEMU" ] || return 1
    unshare --user --map-root-user --mount -- \
        sh -c "mount -t binfmt_misc binfmt_misc '$BINFMT' && [ -e '$BINFMT/register' ]" 2>/dev/null
}

# In the new user and mount namespace: mount its own binfmt_misc, register
# the entry there, run the command.
private_exec() {
    [ -x "$QEMU" ] || die "$QEMU is missing: run scripts/install-deps.sh (package qemu-user-static)"
    exec unshare --user --map-root-user --mount -- "$0" _inside "$@"
}
inside() {
    mount -t binfmt_misc binfmt_misc "$BINFMT" || die "no binfmt_misc of our own in this user namespace"
    register_in "$BINFMT" || die "cannot register $NAME in the private binfmt_misc"
    exec "$@"
}

# The holder of a run's user namespace: its binfmt_misc instance (and with it
# the entry) lives as long as this process, which lives as long as `owner`.
hold() {
    local owner=$1
    [ -x "$QEMU" ] || die "$QEMU is missing: run scripts/install-deps.sh (package qemu-user-static)"
    kill -0 "$owner" 2>/dev/null || die "no process $owner"
    exec unshare --user --map-root-user --mount -- "$0" _hold "$owner"
}
holding() {
    local owner=$1
    mount -t binfmt_misc binfmt_misc "$BINFMT" || die "no binfmt_misc of our own in this user namespace"
    register_in "$BINFMT" || die "cannot register $NAME in the private binfmt_misc"
    echo "userns /proc/$$/ns/user"
    exec >/dev/null 2>&1 </dev/null
    while kill -0 "$owner" 2>/dev/null; do
        sleep 2
    done
}
enter() {
    local ns=$1
    shift
    [ -e "$ns" ] || die "no user namespace $ns (its holder has ended)"
    exec nsenter --user="$ns" -- "$@"
}

# "pid starttime" of a live process, or nothing.
identity() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    # Field 22 of the line; the 20th after the command name.
    echo "$1 $(echo "$stat" | awk '{print $20}')"
}

# Removes owner files whose process has gone.
prune_owners() {
    local f
    for f in "$STATE"/owners/*; do
        [ -f "$f" ] || continue
        [ "$(identity "${f##*/}" 2>/dev/null)" = "$(cat "$f" 2>/dev/null)" ] || rm -f "$f"
    done
}

live_owners() {
    local n=0 f
    for f in "$STATE"/owners/*; do [ -f "$f" ] && n=$((n + 1)); done
    echo "$n"
}

# Removes the entry, and unmounts binfmt_misc if it was mounted for it and
# holds nothing else. Call with the lock held.
release() {
    if [ -e "$BINFMT/$NAME" ]; then
        echo -1 >"$BINFMT/$NAME" && log "removed the binfmt_misc entry $NAME"
    fi
    if [ -f "$STATE/mounted" ]; then
        local others
        others=$(find "$BINFMT" -mindepth 1 -maxdepth 1 ! -name register ! -name status 2>/dev/null | wc -l)
        if [ "$others" -eq 0 ] && umount "$BINFMT" 2>/dev/null; then
            log "unmounted $BINFMT again"
        fi
        rm -f "$STATE/mounted"
    fi
}

lock() {
    mkdir -p "$STATE/owners" || die "cannot create $STATE"
    exec 8>"$STATE/lock"
    flock -w 120 8 || die "timed out waiting for $STATE/lock"
}

up() {
    local owner=$1 me
    me=$(identity "$owner") || die "no process $owner"
    if [ -d "$STATE/owners" ]; then
        # An entry left by a run that was killed outright goes first.
        lock
        prune_owners
        [ "$(live_owners)" -gt 0 ] || release
        flock -u 8
    fi
    if ! needed; then
        log "this machine runs 32-bit programs already: nothing to register"
        return 0
    fi
    # Forced on a machine that runs 32-bit programs itself: a machine-wide
    # entry would hand every other 32-bit program here to the emulator too.
    [ "${TAVIX_EMULATE_I386:-0}" != 1 ] || ! can_run ||
        die "forced emulation (TAVIX_EMULATE_I386=1) runs only in a private binfmt_misc" \
            "(\`$0 private\` fails here): no machine-wide entry on a machine that runs 32-bit programs"
    [ "$(id -u)" -eq 0 ] || die "registering a binfmt_misc entry needs root"
    [ -x "$QEMU" ] || die "$QEMU is missing: run scripts/install-deps.sh (package qemu-user-static)"
    lock
    prune_owners
    if ! mountpoint -q "$BINFMT"; then
        mount -t binfmt_misc binfmt_misc "$BINFMT" || die "cannot mount binfmt_misc at $BINFMT"
        touch "$STATE/mounted"
        log "mounted binfmt_misc at $BINFMT"
    fi
    if [ -e "$BINFMT/$NAME" ]; then
        log "the binfmt_misc entry $NAME is in place already ($(live_owners) other run(s) use it)"
    else
        register_in "$BINFMT" ||
            { release; die "cannot register $NAME in $BINFMT"; }
        log "registered the binfmt_misc entry $NAME: 32-bit x86 programs run under $QEMU until this run ends"
    fi
    echo "$me" >"$STATE/owners/$owner"
    flock -u 8
    if ! can_run; then
        down "$owner"
        die "32-bit programs still do not run with $NAME in place"
    fi
    # The watchdog lives in a session of its own, so that killing the run's
    # process group leaves it to clean up.
    setsid "$0" watch "$owner" </dev/null >/dev/null 2>&1 &
}

down() {
    local owner=$1
    [ -d "$STATE/owners" ] || return 0
    lock
    rm -f "$STATE/owners/$owner"
    prune_owners
    if [ "$(live_owners)" -eq 0 ]; then
        release
    fi
    flock -u 8
}

# Waits until `owner` has ended or let go, then lets go for it.
watch() {
    local owner=$1 me
    me=$(cat "$STATE/owners/$owner" 2>/dev/null) || return 0
    while [ "$(identity "$owner" 2>/dev/null)" = "$me" ] && [ -f "$STATE/owners/$owner" ]; do
        sleep 1
    done
    if [ -f "$STATE/owners/$owner" ]; then
        log "process $owner ended without letting go of $NAME"
        down "$owner"
    fi
}

case "${1:-}" in
check) can_run ;;
needed) needed ;;
private) private ;;
exec)
    shift
    private_exec "$@"
    ;;
_inside)
    shift
    inside "$@"
    ;;
hold) hold "${2:?usage: $0 hold PID}" ;;
_hold) holding "$2" ;;
enter)
    shift
    enter "$@"
    ;;
up) up "${2:?usage: $0 up PID}" ;;
down) down "${2:?usage: $0 down PID}" ;;
watch) watch "${2:?usage: $0 watch PID}" ;;
*)
    sed -n '2,49p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
