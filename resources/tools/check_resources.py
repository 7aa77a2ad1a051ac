#!/usr/bin/env python3
"""Consistency checks of the programs' resources; exits non-zero on a fault.

- for each program (Brellmark, setup), every language file under
  resources/<program>/lang/ (English; the other languages are generated from
  it, see rclang.py) defines each IDS_* string of its resource.h exactly once
  and every IDD_* dialog (Brellmark also its list menu);
- make_art.py and make_photos.py reproduce the committed artwork byte for byte;
- the busy clip is a well-formed uncompressed 8-bit AVI whose index points at
  its frames, and its background is the banner colour where it is shown.

Usage: check_resources.py            (from anywhere; Python 3 only)
"""

import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.normpath(os.path.join(HERE, "..", "brellmark"))
ART = os.path.join(RES, "art")

faults = []


def fault(msg):
    faults.append(msg)
    print("FAULT:", msg)


# Program folder, its top-level script, the menus every language must have.
PROGRAMS = [("brellmark", "brellmark.rc", ["IDR_LIST_MENU"]), ("setup", "setup.rc", []),
            ("launcher", "launcher.rc", []), ("uninstall", "uninstall.rc", [])]


def resource_ids(res=RES):
    ids = {}
    with open(os.path.join(res, "resource.h"), encoding="utf-8") as f:
        for m in re.finditer(r"^#define\s+(\w+)\s+(\S+)", f.read(), re.M):
            ids[m.group(1)] = int(m.group(2), 0)
    return ids


def check_languages(ids, res=RES, script="brellmark.rc", menus=("IDR_LIST_MENU",)):
    langs = sorted(f for f in os.listdir(os.path.join(res, "lang")) if f.endswith(".rc"))
    if not langs:
        fault(f"{res}: no language files")
    with open(os.path.join(res, script), encoding="utf-8") as f:
        top = f.read()
    strings = sorted(k for k in ids if k.startswith("IDS_"))
    dialogs = sorted(k for k in ids if k.startswith("IDD_"))
    for lang in langs:
        if f'#include "lang/{lang}"' not in top:
            fault(f"{lang} is not included by {script}")
        if os.path.exists(os.path.join(res, "po", "LINGUAS")) and '#include "translations.rc"' not in top:
            fault(f"{script} does not include translations.rc (the other languages)")
        with open(os.path.join(res, "lang", lang), encoding="utf-8") as f:
            text = f.read()
        if not re.search(r"^LANGUAGE\s+\w+\s*,\s*\w+", text, re.M):
            fault(f"{lang}: no LANGUAGE statement")
        # A language file may hold several string tables (one per subsystem).
        tables = re.findall(r"^STRINGTABLE\s*\nBEGIN\n(.*?)^END", text, re.M | re.S)
        defined = [n for t in tables for n in re.findall(r"^\s*(IDS_\w+)\s+\"", t, re.M)]
        for name in strings:
            n = defined.count(name)
            if n != 1:
                fault(f"{lang}: {name} defined {n} times")
        for name in set(defined) - set(strings):
            fault(f"{lang}: {name} is not in resource.h")
        for name in dialogs:
            if not re.search(rf"^{name}\s+DIALOGEX\b", text, re.M):
                fault(f"{lang}: dialog {name} missing")
        for menu in menus:
            if not re.search(rf"^{menu}\s+MENU\b", text, re.M):
                fault(f"{lang}: {menu} missing")
        # Every non-ASCII text must come through the UTF-8 code page.
        try:
            text.encode("ascii")
        except UnicodeEncodeError:
            if "#pragma code_page(65001)" not in top:
                fault("non-ASCII text without #pragma code_page(65001)")


def check_art_reproducible():
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, os.path.join(HERE, "make_art.py"), tmp], check=True)
        for name in ("brellmark.ico", "banner.bmp", "busy.avi", "wiz_row.avi", "wiz_check.bmp",
                     "wiz_watermark.bmp", "wiz_watermark16.bmp", "wiz_header.bmp", "wiz_header16.bmp"):
            with open(os.path.join(tmp, name), "rb") as a, open(os.path.join(ART, name), "rb") as b:
                if a.read() != b.read():
                    fault(f"art/{name} differs from what make_art.py draws")
    launcher_art = os.path.join(HERE, "..", "launcher", "art")
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, os.path.join(HERE, "make_photos.py"), tmp], check=True)
        for name in ("page1.bmp", "page2.bmp", "page3.bmp"):
            with open(os.path.join(tmp, name), "rb") as a, open(os.path.join(launcher_art, name), "rb") as b:
                if a.read() != b.read():
                    fault(f"launcher/art/{name} differs from what make_photos.py draws")


def chunks(data, off, end):
    while off + 8 <= end:
        cid, size = data[off : off + 4], struct.unpack_from("<I", data, off + 4)[0]
        yield cid, off, size
        off += 8 + size + (size & 1)


def check_clip():
    with open(os.path.join(ART, "busy.avi"), "rb") as f:
        avi = f.read()
    if avi[:4] != b"RIFF" or avi[8:12] != b"AVI ":
        fault("busy.avi: not a RIFF AVI")
        return
    if struct.unpack_from("<I", avi, 4)[0] + 8 != len(avi):
        fault("busy.avi: RIFF size does not match the file")
    top = {}
    for cid, off, size in chunks(avi, 12, len(avi)):
        key = avi[off + 8 : off + 12] if cid == b"LIST" else cid
        top[key] = (off, size)
    for key in (b"hdrl", b"movi", b"idx1"):
        if key not in top:
            fault(f"busy.avi: {key.decode()} missing")
            return
    hoff, hsize = top[b"hdrl"]
    inner = {c: (o, s) for c, o, s in chunks(avi, hoff + 12, hoff + 8 + hsize)}
    aoff = inner[b"avih"][0] + 8
    frames = struct.unpack_from("<I", avi, aoff + 16)[0]
    streams = struct.unpack_from("<I", avi, aoff + 24)[0]
    width, height = struct.unpack_from("<II", avi, aoff + 32)
    soff, ssize = inner[b"LIST"]
    strl = {c: (o, s) for c, o, s in chunks(avi, soff + 12, soff + 8 + ssize)}
    strh = strl[b"strh"][0] + 8
    if avi[strh : strh + 4] != b"vids" or streams != 1:
        fault("busy.avi: must hold exactly one video stream")
    bih = strl[b"strf"][0] + 8
    _, bw, bh, _, bits, comp = struct.unpack_from("<IiiHHI", avi, bih)
    if (bw, bh) != (width, height) or bits != 8 or comp != 0:
        fault("busy.avi: frames must be uncompressed 8-bit DIBs of the clip's size")
    palette = [tuple(avi[bih + 40 + 4 * i : bih + 43 + 4 * i][::-1]) for i in range(256)]

    moff = top[b"movi"][0] + 8  # the 'movi' type: idx1 offsets count from here
    ioff, isize = top[b"idx1"]
    if isize // 16 != frames:
        fault("busy.avi: index and header disagree on the frame count")
    first = None
    for i in range(isize // 16):
        cid, flags, off, size = struct.unpack_from("<4sIII", avi, ioff + 8 + 16 * i)
        at = moff + off
        if cid != b"00db" or avi[at : at + 4] != b"00db" or size != width * height:
            fault(f"busy.avi: index entry {i} does not point at a frame")
            return
        if first is None:
            first = avi[at + 8 : at + 8 + size]

    # The clip's top-left pixel (bottom-up DIB: last row) is shown over the
    # banner at 395,12, i.e. banner pixel 380,0: the colours must agree.
    with open(os.path.join(ART, "banner.bmp"), "rb") as f:
        bmp = f.read()
    bw, bh = struct.unpack_from("<ii", bmp, 18)
    stride = (bw * 3 + 3) & ~3

    def banner_at(x, y):
        p = struct.unpack_from("<I", bmp, 10)[0] + (bh - 1 - y) * stride + 3 * x
        return tuple(bmp[p : p + 3][::-1])

    for cx, cy in ((0, 0), (width - 1, 0), (0, height - 1)):
        if cx + 380 >= bw or cy >= bh:
            continue
        idx = first[(height - 1 - cy) * width + cx]
        if palette[idx] != banner_at(380 + cx, cy):
            fault(f"busy.avi: background at {cx},{cy} does not match the banner")


def main():
    for folder, script, menus in PROGRAMS:
        res = os.path.normpath(os.path.join(HERE, "..", folder))
        check_languages(resource_ids(res), res, script, menus)
    check_art_reproducible()
    check_clip()
    print("resources:", "FAILED" if faults else "ok")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
