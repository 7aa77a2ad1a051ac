#!/usr/bin/env bash
# Round trip: a test product installed by the real setup.exe /S and removed
# by the command line that the installer registered, with the questions
# answered by keys (uninstall_e2e.exe, RoundTrip.*). Snapshots of the file
# tree of C: and of the registry hives taken before, between and after must
# show that everything the installation made is gone and everything that was
# there before is still there. Another product that shares one file is
# registered first: the question about it is answered No and it stays. A
# second test product shares a folder that the first one makes
# (Program Files\TavixCommon): the first removal keeps the shared file (No),
# the second deletes it, and the folder goes with it.
# Runs in a closed prefix (closed_prefix.sh); nothing uses the network.
# Usage: round_trip.sh E2E_EXE UNINSTALL_EXE SETUP_EXE BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
. "$root/tests/harness/lib.sh"
. "$here/closed_prefix.sh"
e2e=$1 uninstall=$2 setup=$3 build=$4
export TAVIX_BUILD_DIR=$build
harness_init 400
closed_prefix_up
c="$WINEPREFIX/drive_c"
bin="$c/tavix-test" medium="$c/medium" medium2="$c/medium2"
snap="$(harness_tmpdir)/snapshots"
mkdir -p "$bin" "$medium/doc" "$snap"
cp "$e2e" "$bin/uninstall_e2e.exe"
cp "$setup" "$medium/setup.exe"
cp "$uninstall" "$medium/kivouninstall.exe"
printf 'app' >"$medium/app.exe"
printf 'readme' >"$medium/doc/readme.txt"
printf 'shared v2' >"$medium/tavixrt_shared.dll"
printf 'common' >"$medium/common.dll"
mkdir -p "$medium2"
cp "$setup" "$medium2/setup.exe"
cp "$uninstall" "$medium2/kivouninstall.exe"
cp "$medium/common.dll" "$medium2/common.dll"
# The [Setup] section of both products: name and uninstall key.
setup_section() {
    printf '[Setup]\nProductName=%s\nUninstallKey=%s\nAskType=FALSE\nUSBType=FALSE\nRestart=FALSE\n' "$1" "$2"
}
ini="$(setup_section 'Tavix Round Trip' TavixRT)"'
[Copy Files]
kivouninstall.exe=%20%\TavixRT
app.exe=%20%\TavixRT
doc\readme.txt=%20%\TavixRT\doc
tavixrt_shared.dll=%11%
common.dll=%20%\TavixCommon
[Create Shortcut]
1=app.exe,%20%\TavixRT,2,Tavix Round Trip,Tavix App,0,,Tavix application
[Add Registry]
1=1,HKLM,Software\TavixRT,Version,0,1.0
2=1,HKCU,Software\TavixRT\Settings,Size,1,0A
3=1,HKCR,.tavixrt,,0,TavixRT.File
'
ini2="$(setup_section 'Tavix Round Trip Two' TavixRT2)"'
[Copy Files]
kivouninstall.exe=%20%\TavixRT2
common.dll=%20%\TavixCommon
'
for f in SETUPXP.INI SETUP2K.INI SETUPNT.INI; do
    printf '%s' "$ini" | sed 's/$/\r/' >"$medium/$f"
    printf '%s' "$ini2" | sed 's/$/\r/' >"$medium2/$f"
done

wine_run() { (cd "$bin" && wine "$@"); }
# Another product already uses the shared file.
sys=$(wine_run cmd /c 'echo %windir%\system32' | tr -d '\r')
printf 'shared v1' >"$c/windows/system32/tavixrt_shared.dll"
u='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\OtherRT'
wine_run reg add "$u" /v DisplayName /d "Other Product" /f >/dev/null
wine_run reg add "$u" /v UninstallString /d 'C:\Other\kivouninstall.exe OtherRT' /f >/dev/null
wine_run reg add 'HKLM\Software\Kivo\Uninstall\SharedFile\tavixrt_shared.dll' /v OtherRT \
    /d "$sys" /f >/dev/null
closed_prefix_flush

snapshot() {  # name
    (cd "$c" && find . \( -path './tavix-test' -o -path './medium' -o -path './medium2' \
        -o -ipath './users/*/temp' \
        -o -ipath './windows/temp' \) -prune -o -printf '%y %p\n') | sort >"$snap/$1.files"
    python3 - "$WINEPREFIX" >"$snap/$1.reg" <<'PY'
import sys, re
prefix = sys.argv[1]
for hive in ("system.reg", "user.reg", "userdef.reg"):
    key = None
    lines = open(f"{prefix}/{hive}", encoding="utf-8", errors="replace").read().split("\n")
    i = 0
    while i < len(lines):
        line = lines[i].rstrip("\r")
        while line.endswith("\\") and i + 1 < len(lines):
            i += 1
            line = line[:-1] + lines[i].strip()
        i += 1
        m = re.match(r"^\[(.*)\](\s+\d+)?$", line)
        if m:
            key = f"{hive}:{m.group(1).lower()}".replace("\\\\", "\\")
            print(key)
        elif key and (line.startswith('"') or line.startswith("@")):
            print(f"{key} {line}")
PY
    sort -o "$snap/$1.reg" "$snap/$1.reg"
}
snapshot before

status=0
wine_run 'C:\medium\setup.exe' /S /NR '/LOG=C:\tavix-test\setup.log' || status=$?
wine_run 'C:\medium2\setup.exe' /S /NR '/LOG=C:\tavix-test\setup2.log' || status=$?
closed_prefix_flush
snapshot installed
cat "$bin/setup.log" 2>/dev/null | tail -n 40 || true
for made in './Program Files/TavixRT/app.exe' './Program Files/TavixRT/doc/readme.txt' \
    './Program Files/TavixRT/kivouninstall.exe' './Program Files/TavixCommon/common.dll' \
    './Program Files/TavixRT2/kivouninstall.exe'; do
    grep -qxF "f $made" "$snap/installed.files" || {
        echo "round trip: the installation did not make $made" >&2
        status=1
    }
done
grep -q 'uninstall\\tavixrt$' "$snap/installed.reg" || {
    echo "round trip: no uninstall registration" >&2
    status=1
}
[ "$status" -eq 0 ] || exit $status

# The product that made the shared folder first, then the other one.
TAVIX_ROUND_TRIP_KEY=TavixRT TAVIX_ROUND_TRIP_SHARED=common.dll,tavixrt_shared.dll \
    wine_run 'C:\tavix-test\uninstall_e2e.exe' --gtest_filter='RoundTrip.*' || status=$?
closed_prefix_flush
TAVIX_ROUND_TRIP_KEY=TavixRT2 TAVIX_ROUND_TRIP_SHARED= \
    wine_run 'C:\tavix-test\uninstall_e2e.exe' --gtest_filter='RoundTrip.*' || status=$?
closed_prefix_flush
snapshot after

# What the installation made must be gone; what was there before must stay.
# Wine's own bookkeeping and the uninstaller's delete-at-restart of its
# temporary copy are not the product's.
noise='PendingFileRenameOperations|:software\\wine\\|\\explorer\\|\\shell folders|\\mountmgr|driverdatedata|\\enum\\display\\|currentversion\\fonts|\\dynamic dst|fontsubstitutes'
for kind in files reg; do
    comm -13 "$snap/before.$kind" "$snap/installed.$kind" | grep -Eiv "$noise" >"$snap/made.$kind" || true
    comm -12 "$snap/made.$kind" "$snap/after.$kind" | grep -Eiv "$noise" >"$snap/left.$kind" || true
    comm -23 "$snap/before.$kind" "$snap/after.$kind" | grep -Eiv "$noise" >"$snap/lost.$kind" || true
    echo "round trip: $kind: $(wc -l <"$snap/made.$kind") made by the installation," \
        "$(wc -l <"$snap/left.$kind") left after the uninstallation," \
        "$(wc -l <"$snap/lost.$kind") of before lost"
    if [ -s "$snap/left.$kind" ] || [ -s "$snap/lost.$kind" ]; then
        sed 's/^/  left: /' "$snap/left.$kind" | head -40
        sed 's/^/  lost: /' "$snap/lost.$kind" | head -40
        status=1
    fi
done
grep -qxF 'f ./windows/system32/tavixrt_shared.dll' "$snap/after.files" || {
    echo "round trip: the shared file was removed although answered No" >&2
    status=1
}
closed_prefix_check || status=1
exit $status
