#!/usr/bin/env bash
# End-to-end installation by the real setup.exe under Wine in the host
# namespace (the installer sends nothing over the network): the cabinet of the
# test medium is made here by gcab, the rest of the medium by the test itself.
# Usage: install_e2e.sh INSTALL_E2E_EXE SETUP_EXE PROBE_EXE VER1_DLL VER2_DLL
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
e2e=$1 setup=$2 probe=$3 ver1=$4 ver2=$5
command -v gcab >/dev/null || { echo "install_e2e: gcab is missing (scripts/install-deps.sh)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'first member\r\n' >"$work/cab1.txt"
printf 'second member\r\n' >"$work/cab2.txt"
printf 'not on the list\r\n' >"$work/other.txt"
(cd "$work" && gcab -c -z data.cab cab1.txt other.txt cab2.txt)
export TAVIX_SETUP_EXE="$setup" TAVIX_PROBE_EXE="$probe" TAVIX_VER1_DLL="$ver1" \
    TAVIX_VER2_DLL="$ver2" TAVIX_CAB="$work/data.cab"
"$root/scripts/wine-run.sh" "$e2e"
