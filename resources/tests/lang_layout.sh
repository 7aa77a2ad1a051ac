#!/usr/bin/env bash
# Every program's dialogs in every language under Wine, in a private prefix
# of the host namespace (nothing here opens a socket):
#   - at 96, 120 and 144 DPI (the prefix's LogPixels) and at 96 DPI with the
#     dialog font replaced by a wider one ("wide"), lang_shots measures each
#     static and button text with its control's font against the control and
#     saves a picture of each dialog; a contact sheet per program, language
#     and variant goes to <build>/lang-shots/<program>-<tag>-<variant>.png;
#   - with the locale set per run (LC_ALL), the system's resource lookup must
#     pick that language's dialogs.
# Usage: lang_layout.sh LANG_SHOTS_EXE BUILD_DIR program=EXE...
# $LANG_LAYOUT_VARIANTS picks variants (default "96 120 144 wide");
# LANG_LAYOUT_LOCALES=0 leaves out the locale runs (while adjusting layouts).
# Exit status 1 when a text does not fit or a locale shows the wrong language.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tests/harness/lib.sh"
shots_exe=$1 build=$2
shift 2
harness_init "${HARNESS_TIMEOUT:-1500}"
harness_wine_select
prefix="$(harness_wine_dir)/lang-$$"
finish() {
    WINEPREFIX="$prefix" timeout 20 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 20 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
    harness_cleanup
}
trap finish EXIT
harness_prepare_prefix "$prefix"
export WINEPREFIX=$prefix
harness_start_xvfb
out="$build/lang-shots"
rm -rf "$out"
mkdir -p "$out"
status=0

winpath() { echo "Z:${1//\//\\}"; }

set_variant() {  # dpi font
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' face
    for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
        if [ -n "$2" ]; then
            wine reg add "$key" /v "$face" /d "$2" /f >/dev/null 2>&1
        else
            wine reg add "$key" /v "$face" /d Tahoma /f >/dev/null 2>&1
        fi
    done
    # Every program reads these when it starts: end the prefix's processes.
    timeout 20 wineserver -k >/dev/null 2>&1 || true
    timeout 20 wineserver -w >/dev/null 2>&1 || true
}

# Wine draws dialogs in Tahoma, which has no Chinese, Japanese or Korean
# glyphs: link it to WenQuanYi Micro Hei (fonts-wqy-microhei), as the
# system's font link does on Windows.
for face in Tahoma "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "DejaVu Sans" "DejaVu Sans Bold" \
    "Microsoft Sans Serif"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
done

started=$SECONDS
for variant in ${LANG_LAYOUT_VARIANTS:-96 120 144 wide}; do
    case $variant in
    wide) set_variant 96 "DejaVu Sans" ;;
    *) set_variant "$variant" "" ;;
    esac
    for pair in "$@"; do
        prog=${pair%%=*} exe=${pair#*=}
        dir="$out/$variant/$prog"
        mkdir -p "$dir"
        rc=0
        timeout 600 wine "$shots_exe" "$exe" "$(winpath "$dir")" >"$dir/faults.txt" 2>"$dir/stderr.txt" || rc=$?
        n=$(grep -c '^FAULT' "$dir/faults.txt" || true)
        echo "lang_layout: $prog at $variant: $n texts do not fit (exit $rc)"
        sed "s/^/lang_layout: $variant $prog /" "$dir/faults.txt"
        if [ "$rc" -ne 0 ] || [ "$n" -ne 0 ]; then status=1; fi
        for langdir in "$dir"/*/; do
            [ -d "$langdir" ] || continue
            tag=$(basename "$langdir")
            # (montage warns, and fails, when it has no font for the title;
            # the sheet is made all the same)
            sheet="$out/$prog-$tag-$variant.png"
            montage "$langdir"/*.bmp -tile 4x -geometry +6+6 -background '#d0d0d0' \
                -title "$prog $tag $variant" "$sheet" >/dev/null 2>&1 || true
            [ -s "$sheet" ] || echo "lang_layout: no contact sheet for $prog $tag $variant"
            rm -rf "$langdir"
        done
    done
done
echo "lang_layout: layouts checked in $((SECONDS - started)) s"

# The language the system's lookup picks follows the locale of the run.
[ "${LANG_LAYOUT_LOCALES:-1}" = 0 ] && set -- 
set_variant 96 ""
for pair in "$@"; do
    prog=${pair%%=*} exe=${pair#*=}
    tags="en-US $(sed 's/#.*//' "$root/resources/$prog/po/LINGUAS" 2>/dev/null | tr '\n' ' ')"
    for tag in $tags; do
        got=$(LC_ALL="${tag/-/_}.UTF-8" timeout 120 wine "$shots_exe" --system "$exe" '*' 2>/dev/null | tr -d '\r' || true)
        if [ "$got" != "$tag" ]; then
            echo "lang_layout: FAULT $prog with locale $tag shows $got"
            status=1
        fi
    done
    echo "lang_layout: $prog: locale runs done ($tags)"
done
# The installer switches its thread locale to the chosen language ("Change
# resource by language"): each language of its list must then show.
for pair in "$@"; do
    prog=${pair%%=*} exe=${pair#*=}
    [ "$prog" = setup ] || continue
    for entry in 0404:zh-TW 0804:zh-CN 0406:da-DK 0413:nl-NL 0409:en-US 040B:fi-FI 040C:fr-FR \
        0407:de-DE 0410:it-IT 0411:ja-JP 0414:nb-NO 0416:pt-BR 080A:es-MX 041D:sv-SE; do
        got=$(LC_ALL=en_US.UTF-8 timeout 120 wine "$shots_exe" --system "$exe" '*' "${entry%%:*}" 2>/dev/null | tr -d '\r' || true)
        if [ "$got" != "${entry#*:}" ]; then
            echo "lang_layout: FAULT $prog with thread locale ${entry%%:*} shows $got"
            status=1
        fi
    done
    echo "lang_layout: $prog: thread locale switches done"
done
ls "$out"/*.png 2>/dev/null | wc -l | sed 's/^/lang_layout: contact sheets: /'
exit $status
