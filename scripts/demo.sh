#!/usr/bin/env bash
# The main job: sets up a fresh Debian machine, builds everything, starts the
# virtual NAS in one private network namespace and Brellmark under Wine in
# another, joined by a veth pair, so discovery broadcasts never leave them.
#
#   scripts/demo.sh [--config FILE] [--seconds N] [--screenshot FILE]
#
# With $DISPLAY set (a local X display such as :0) Brellmark appears there and
# the demo ends when you close it. Without a display it runs on a private Xvfb,
# saves a screenshot after N seconds (default 20) and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
config=$root/vnas/examples/four-servers.conf
seconds=20
shot=
while [ $# -gt 0 ]; do
    case "$1" in
    --config) config=$(realpath "$2"); shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
    -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
[ -f "$config" ] || { echo "demo: no such configuration file: $config" >&2; exit 2; }

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" --demo
. "$root/tests/harness/lib.sh"
build=$(harness_build_dir)
tree=$(harness_test_tree)
exe=$build/dist/Brellmark.exe
[ "$tree" = win64 ] && exe=$build/win64/dist/Brellmark.exe
[ -n "$shot" ] || shot=$build/demo.png

headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    harness_init $((seconds + 180))
    harness_start_xvfb
else
    harness_init 86400
fi
harness_netns_up demo
tmp=$(harness_tmpdir)
harness_start_vnas "$config" "$tmp/vnas.log" --control "$tmp/vnas.ctl"
harness_log "virtual servers from $config are up (log: $tmp/vnas.log)"
harness_wine_client_prefix
if [ "$tree" = win64 ]; then
    harness_log "this machine cannot run 32-bit programs: showing the x86_64 build of Brellmark"
fi

harness_in_client wine "$exe" </dev/null >"$tmp/brellmark.out" 2>&1 &
app=$!
if [ "$headless" = 1 ]; then
    sleep "$seconds"
    id=$(xwininfo -root -tree 2>/dev/null | awk '/"Tavix"/ {print $1; exit}')
    if [ -n "$id" ]; then import -window "$id" "$shot"; else import -window root "$shot"; fi
    harness_log "screenshot saved to $shot"
    kill "$app" 2>/dev/null || true
else
    harness_log "Brellmark is running on $DISPLAY; close it to end the demo"
    wait "$app" || true
fi
