#!/usr/bin/env python3
"""Which folder may include which: reads the `#include` lines of every source
file of the tree (build/ and hidden folders left out) and exits non-zero on

- a cycle between folders (A includes B and B, directly or through others,
  includes A);
- an include that goes against the layering below: each file belongs to its
  top-level folder, and a folder uses only itself and the folders it lists;
- a portable file (not under a win/ folder, not ui/ but its portable rules/, not a Windows-side part
  such as a resource script or a stand-in library) that includes <windows.h>,
  another Windows header or a Windows-side file of the tree;
- code that includes a test's file.

Tests (files under a tests/ folder) use what their folder uses, the test
helpers of those folders, and ui/testing/, vnas/ and app/ (the end-to-end
fixture that drives the real Brellmark.exe).

Each offending include is printed as file:line with the rule it breaks.

Usage: check_layering.py [ROOT]     (default: the tree this script is in)
       check_layering.py --selftest (small fake trees, each with its verdict)
"""

import os
import re
import sys
import tempfile

# Which folders each folder may include besides itself. Keep in step with the
# layout table of the README.
USES = {
    "protocol": set(),
    "ui": set(),
    "resources": set(),
    "vnas": {"protocol"},
    "flow": {"protocol"},
    "dialogs": {"protocol", "flow", "ui", "resources"},
    "mapdrive": {"ui", "resources"},
    "wizard": {"protocol", "flow", "ui", "resources", "mapdrive"},
    "wake": {"protocol", "flow", "ui", "resources"},
    "import": {"protocol", "flow", "ui", "resources"},
    "app": {"protocol", "flow", "ui", "resources", "dialogs", "wizard", "mapdrive", "wake", "import"},
    "setup": {"ui", "resources"},
    "uninstall": {"ui", "resources"},
    "launcher": {"ui", "resources"},
    "medium": {"setup", "resources"},
    "tests": {"ui"},
    "bench": {"setup", "ui"},
}
# Rules that hold whatever the table says, each with its reason; checked
# first so that an offence is named by its reason. (code only: tests may
# use what the last column names)
SUBSYSTEMS = {"flow", "dialogs", "wizard", "import", "mapdrive", "wake", "setup", "uninstall", "launcher"}
NEVER = [
    (lambda a, b: a == "protocol" and b != "protocol",
     "protocol/ uses nothing but itself: it knows no flow and no window"),
    (lambda a, b: a == "uninstall" and b == "setup", "the uninstaller never includes the installer"),
    (lambda a, b: a == "setup" and b == "uninstall", "the installer never includes the uninstaller"),
    (lambda a, b: a in SUBSYSTEMS and b == "app",
     "no subsystem includes the main program (app/): it is told through its own interface"),
]
# What a test may include beyond what its folder uses.
TEST_EXTRAS = ("ui/testing/", "vnas/", "app/")
# Windows-side parts outside win/ folders (besides ui/ and resource scripts).
WINDOWS_PARTS = ("mapdrive/testnet/", "tests/standins/", "bench/copy_loop.cpp")
WINDOWS_HEADERS = {
    "windows.h", "winsock2.h", "ws2tcpip.h", "iphlpapi.h", "commctrl.h", "commdlg.h",
    "prsht.h", "shlobj.h", "shobjidl.h", "shellapi.h", "shlwapi.h", "objbase.h", "winnetwk.h",
    "npapi.h", "winver.h", "winioctl.h", "tlhelp32.h", "setupapi.h", "newdev.h", "winreg.h",
    "winuser.h", "winbase.h", "windowsx.h",
}
SOURCES = (".h", ".hpp", ".c", ".cc", ".cpp", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def is_test(path):
    return path.startswith("tests/") or "/tests/" in path


def is_windows(path):
    parts = path.split("/")
    return ("win" in parts[:-1] or (parts[0] == "ui" and parts[1] != "rules")
            or path.endswith(".rc")
            or path.startswith(WINDOWS_PARTS))


def sources(root):
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        dirs[:] = sorted(d for d in dirs
                         if not d.startswith(".") and not (rel == "." and d == "build"))
        for name in sorted(files):
            if name.endswith(SOURCES):
                yield os.path.normpath(os.path.join(rel, name)).replace(os.sep, "/")


def includes(root, path):
    """(line, quoted?, target as a tree path or the system header's name)."""
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            if m.group(1) == "<":
                yield number, False, m.group(2)
                continue
            # Beside the file first, then from the top of the tree; a file
            # found in neither is generated (translations.rc) and belongs to none.
            for base in (os.path.dirname(path), ""):
                target = os.path.normpath(os.path.join(base, m.group(2))).replace(os.sep, "/")
                if os.path.isfile(os.path.join(root, target)):
                    yield number, True, target
                    break


def offence(path, target):
    """The rule that an include of `target` from `path` breaks, or None."""
    a, b = path.split("/")[0], target.split("/")[0]
    test = is_test(path)
    if is_test(target) and not test:
        return "code never includes a test's file"
    if not is_windows(path) and is_windows(target):
        return "portable code includes no Windows-side file (win/, ui/)"
    if a == b:
        return None
    if not test:
        for rule, reason in NEVER:
            if rule(a, b):
                return reason
    if test and target.startswith(TEST_EXTRAS):
        return None
    if b not in USES.get(a, set()):
        uses = ", ".join(sorted(f + "/" for f in USES.get(a, ()))) or "nothing"
        return f"{a}/ uses only itself and {uses}"
    return None


def cycles(edges):
    """Each cycle of the folder graph once, as a list of folders."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)
    found, seen = [], set()

    def walk(node, path):
        for nxt in sorted(graph.get(node, ())):
            if nxt == path[0]:
                key = frozenset(path)
                if key not in seen:
                    seen.add(key)
                    found.append(path + [nxt])
            elif nxt not in path and nxt > path[0]:
                walk(nxt, path + [nxt])

    for start in sorted(graph):
        walk(start, [start])
    return found


def check(root):
    """Every fault of the tree at `root`, one line each."""
    faults, edges = [], {}
    for path in sources(root):
        for line, quoted, target in includes(root, path):
            where = f"{path}:{line}"
            if not quoted:
                if target.lower() in WINDOWS_HEADERS and not is_windows(path):
                    faults.append(f"{where}: <{target}>: portable code includes no Windows header")
                continue
            reason = offence(path, target)
            if reason:
                faults.append(f"{where}: {target}: {reason}")
            a, b = path.split("/")[0], target.split("/")[0]
            # A test's extra rights lead nowhere back: they make no cycle.
            if a != b and not (is_test(path) and target.startswith(TEST_EXTRAS)):
                edges.setdefault((a, b), where)
    for cycle in cycles(edges):
        steps = ", ".join(f"{a} -> {b} ({edges[a, b]})" for a, b in zip(cycle, cycle[1:]))
        faults.append("folder cycle " + " -> ".join(cycle) + ": " + steps)
    return faults


# Fake trees (path: text) and the faults each must give (a part of each line).
SELFTEST = [
    ("clean tree passes", {
        "protocol/packet.h": "#include <cstdint>\n",
        "protocol/win/socket.h": '#include <windows.h>\n#include "protocol/packet.h"\n',
        "dialogs/rules/login.h": '#include "protocol/packet.h"\n',
        "dialogs/win/login.cpp": '#include "dialogs/rules/login.h"\n#include "ui/dialog.h"\n',
        "dialogs/tests/win/login_test.cpp": '#include "ui/testing/remote.h"\n'
                                            '#include "app/tests/win/session.h"\n',
        "ui/dialog.h": "#include <windows.h>\n", "ui/testing/remote.h": "",
        "app/tests/win/session.h": '#include "dialogs/win/login.cpp"\n',
        "resources/brellmark/brellmark.rc": '#include "resource.h"\n#include "translations.rc"\n',
        "resources/brellmark/resource.h": "",
    }, []),
    ("cycle found", {
        "wake/flow.h": '#include "import/run.h"\n',
        "import/run.h": '#include "wake/flow.h"\n',
    }, ["wake/flow.h:1: import/run.h: wake/ uses only itself and",
        "import/run.h:1: wake/flow.h: import/ uses only itself",
        "folder cycle import -> wake -> import: import -> wake (import/run.h:1), "
        "wake -> import (wake/flow.h:1)"]),
    ("forbidden edges found", {
        "protocol/packet.h": '#include "ui/dialog.h"\n',
        "ui/dialog.h": "",
        "uninstall/core/engine.cpp": '\n#include "setup/core/flow.h"\n',
        "setup/core/flow.h": "#include <windows.h>\n",
        "wake/win/session.h": '#include "app/model.h"\n',
        "app/model.h": '#include "wake/tests/fake.h"\n',
        "wake/tests/fake.h": "",
    }, ["protocol/packet.h:1: ui/dialog.h: portable code includes no Windows-side file",
        "uninstall/core/engine.cpp:2: setup/core/flow.h: the uninstaller never includes",
        "setup/core/flow.h:1: <windows.h>: portable code includes no Windows header",
        "wake/win/session.h:1: app/model.h: no subsystem includes the main program",
        "app/model.h:1: wake/tests/fake.h: code never includes a test's file",
        "folder cycle app -> wake -> app"]),
]


def selftest():
    failed = 0
    for name, tree, want in SELFTEST:
        with tempfile.TemporaryDirectory() as root:
            for path, text in tree.items():
                os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                    f.write(text)
            got = check(root)
        missing = [w for w in want if not any(w in g for g in got)]
        extra = [g for g in got if not any(w in g for w in want)]
        if missing or extra:
            failed += 1
            print(f"selftest {name}: missing {missing}, unexpected {extra}")
    print(f"selftest: {len(SELFTEST) - failed} of {len(SELFTEST)} trees as expected")
    return 1 if failed else 0


def main(argv):
    if argv[1:] == ["--selftest"]:
        return selftest()
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    faults = check(os.path.abspath(root))
    for fault in faults:
        print(fault)
    print(f"layering: {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
