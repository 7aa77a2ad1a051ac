#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test:
# native unit tests (with sanitizers), Windows-side tests under Wine and the
# end-to-end runs in private network namespaces. Needs root (apt, namespaces).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
. "$root/tests/harness/lib.sh"
harness_init 3600
[ -n "${DISPLAY:-}" ] || harness_start_xvfb
cd "$(harness_build_dir)"
ctest --output-on-failure -j "${TAVIX_TEST_JOBS:-2}" "$@"
