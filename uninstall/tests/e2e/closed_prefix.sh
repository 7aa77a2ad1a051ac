# A private Wine prefix with no way out of itself, for runs that delete what
# registrations name: no drive but C: (none maps the Linux tree), the
# profile's links to the Linux home replaced by plain folders, HOME pointed at
# a scratch directory. Sourced after tests/harness/lib.sh; the prefix and
# its wineserver go when the script exits.
#   closed_prefix_up           makes it and exports WINEPREFIX; from then on
#                              `wine` runs in a network namespace of its own
#                              (where unshare can make one), so that nothing a
#                              test starts can reach any network
#   closed_prefix_check        fails when a way out appeared
#   closed_prefix_flush        waits until every process has ended and the
#                              registry is on disk

closed_prefix_stop() {
    WINEPREFIX="$CLOSED_PREFIX" timeout 20 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$CLOSED_PREFIX" timeout 20 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$CLOSED_PREFIX"
    harness_cleanup
}

closed_prefix_up() {
    harness_wine_select
    CLOSED_PREFIX="$(harness_wine_dir)/closed-$$"
    trap closed_prefix_stop EXIT
    harness_prepare_prefix "$CLOSED_PREFIX"
    export WINEPREFIX=$CLOSED_PREFIX
    local d link
    for d in "$CLOSED_PREFIX"/dosdevices/*; do
        case "$(readlink "$d" 2>/dev/null || true)" in
        ../drive_c | /dev/*) ;;
        *) rm -f "$d" ;;
        esac
    done
    for link in "$CLOSED_PREFIX"/drive_c/users/*/* "$CLOSED_PREFIX"/drive_c/users/*/AppData/*; do
        if [ -L "$link" ]; then
            rm -f "$link"
            mkdir -p "$link"
        fi
    done
    # No menu entries on the Linux side for the shortcuts the tests make.
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
    export HOME
    HOME="$(harness_tmpdir)/home"
    mkdir -p "$HOME"
    [ -n "${DISPLAY:-}" ] || harness_start_xvfb
    CLOSED_ISOLATE=()
    if unshare --net true 2>/dev/null; then
        CLOSED_ISOLATE=(unshare --net)
    fi
}

wine() {
    "${CLOSED_ISOLATE[@]}" "$HARNESS_WINE" "$@"
}

closed_prefix_check() {
    if ls "$CLOSED_PREFIX"/dosdevices/ | grep -qv '^\(c:\|com[0-9]*\|lpt[0-9]*\)$'; then
        echo "closed prefix: a drive other than C: appeared" >&2
        return 1
    fi
}

closed_prefix_flush() {
    WINEPREFIX="$CLOSED_PREFIX" timeout $((60 * $(harness_time_scale))) wineserver -w \
        >/dev/null 2>&1 || true
}
