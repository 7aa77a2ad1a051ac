#!/usr/bin/env python3
"""Assembles the distribution medium from the built programs.

    make_medium.py OUT_DIR DIST_DIR [--iso FILE]

OUT_DIR receives, laid out as on the CD:

    KDZ_INIT.exe, setup.exe          the launcher and the installer
    SETUPXP.INI ... SETUP95.INI      the setup file, once per system class
    SelLang.INI                      the languages the installer offers
    License/LICEN*.TXT               the licence per language, in the
                                     language's ANSI code page, CRLF lines
    Brellmark/                       what the setup file copies: Brellmark.exe,
                                     kivouninstall.exe and the help files

Every source that the setup file's [Copy Files] names must be on the medium;
a missing one stops the build. With --iso, an ISO 9660 image with Joliet
names is written too (genisoimage or xorriso, when installed).
"""

import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

SETUP_FILES = ["SETUPXP.INI", "SETUP2K.INI", "SETUPNT.INI", "SETUPME.INI", "SETUP98.INI", "SETUP95.INI"]
ROOT_PROGRAMS = ["KDZ_INIT.exe", "setup.exe"]
PRODUCT_PROGRAMS = ["Brellmark.exe", "kivouninstall.exe"]

# Licence file -> the ANSI code page of its language.
LICENCE_CODE_PAGES = {
    "LICENTCH": "cp950", "LICENSCH": "cp936", "LICENJP": "cp932",
    "LICENDAN": "cp1252", "LICENDUT": "cp1252", "LICENENG": "cp1252", "LICENFIN": "cp1252",
    "LICENFRE": "cp1252", "LICENGER": "cp1252", "LICENITA": "cp1252", "LICENNOR": "cp1252",
    "LICENBRA": "cp1252", "LICENSPA": "cp1252", "LICENSWE": "cp1252",
}


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def copy_sources(setup_ini):
    """The [Copy Files] keys of the setup file (paths relative to the medium)."""
    keys, section = [], None
    for line in setup_ini.splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line.strip("[]").lower()
        elif section == "copy files" and "=" in line and not line.startswith(";"):
            keys.append(line.split("=", 1)[0].strip())
    return keys


def build(out, dist):
    problems = []
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(os.path.join(out, "License"))
    os.makedirs(os.path.join(out, "Brellmark"))

    for name in ROOT_PROGRAMS:
        src = os.path.join(dist, name)
        if os.path.isfile(src):
            shutil.copy2(src, os.path.join(out, name))
        else:
            problems.append(f"{src} has not been built")
    for name in PRODUCT_PROGRAMS + sorted(f for f in os.listdir(dist) if re.fullmatch(r"KDZ_\w+\.mht", f)):
        src = os.path.join(dist, name)
        if os.path.isfile(src):
            shutil.copy2(src, os.path.join(out, "Brellmark", name))

    with open(os.path.join(HERE, "setup.ini"), encoding="ascii") as f:
        setup_ini = f.read()
    for name in SETUP_FILES:
        with open(os.path.join(out, name), "w", encoding="ascii", newline="") as f:
            f.write(crlf(setup_ini))
    with open(os.path.join(HERE, "SelLang.INI"), encoding="ascii") as f:
        text = f.read()
    with open(os.path.join(out, "SelLang.INI"), "w", encoding="ascii", newline="") as f:
        f.write(crlf(text))

    for stem, code_page in sorted(LICENCE_CODE_PAGES.items()):
        with open(os.path.join(HERE, "license", stem + ".txt"), encoding="utf-8") as f:
            text = f.read()
        with open(os.path.join(out, "License", stem + ".TXT"), "wb") as f:
            f.write(crlf(text).encode(code_page))

    for key in copy_sources(setup_ini):
        if not os.path.isfile(os.path.join(out, *key.split("\\"))):
            problems.append(f"the setup file copies {key}, which is not on the medium")
    return problems


def make_iso(out, iso):
    for tool in (["genisoimage"], ["xorriso", "-as", "mkisofs"]):
        if shutil.which(tool[0]):
            subprocess.run(tool + ["-quiet", "-J", "-r", "-V", "TAVIX", "-o", iso, out], check=True)
            return True
    print("make_medium: no genisoimage or xorriso, no ISO image written", file=sys.stderr)
    return False


def main(argv):
    args = argv[1:]
    iso = None
    if "--iso" in args:
        i = args.index("--iso")
        iso = args[i + 1]
        del args[i : i + 2]
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    out, dist = args
    problems = build(out, dist)
    for p in problems:
        print("make_medium:", p, file=sys.stderr)
    if problems:
        return 1
    if iso:
        make_iso(out, iso)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
