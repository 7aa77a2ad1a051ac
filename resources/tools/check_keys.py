#!/usr/bin/env python3
"""The keyboard in every dialog layout of the four programs, read from the
English scripts (resources/<program>/lang/en-US.rc, the one layout of every
language) and from each language's script made from it; exits non-zero on a
fault:

- a window (not a wizard page, whose buttons belong to the sheet; not a
  progress whose one button is Cancel) has a default button;
- no access key twice in a dialog (texts with SS_NOPREFIX have none);
- a label's access key names an input: the control after the label in tab
  order is one (edit, list, picker, check or radio button), to its right or
  below it;
- tab stops in script order never lead left along a row or up along a column.

The running windows get the same checks and more (focus, Return, Escape) from
the programs' keyboard walks under Wine (ui/testing/keys.h).

Usage: check_keys.py [script.rc...]   (default: the four English scripts and
                                       their translations)
       check_keys.py --selftest       (a sample with each fault)
"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = [os.path.join(HERE, "..", p, "lang", "en-US.rc")
           for p in ("brellmark", "setup", "uninstall", "launcher")]

LABELS = {"LTEXT", "RTEXT", "CTEXT", "GROUPBOX"}
# Statement: (tab stop by default, is an input).
KINDS = {
    "LTEXT": (False, False), "RTEXT": (False, False), "CTEXT": (False, False),
    "GROUPBOX": (False, False), "ICON": (False, False),
    "PUSHBUTTON": (True, False), "DEFPUSHBUTTON": (True, False),
    "EDITTEXT": (True, True), "COMBOBOX": (True, True), "LISTBOX": (True, True),
    "CHECKBOX": (True, True), "AUTOCHECKBOX": (True, True), "STATE3": (True, True),
    "AUTO3STATE": (True, True), "RADIOBUTTON": (False, True), "AUTORADIOBUTTON": (False, True),
}
INPUT_CLASSES = ("edit", "combobox", "listbox", "sysipaddress32", "wc_ipaddress",
                 "sysdatetimepick32", "datetimepick_class", "syslistview32", "wc_listview",
                 "systreeview32", "wc_treeview", "msctls_trackbar32", "msctls_updown32")


def split_args(text):
    """Comma-separated arguments of a control statement, strings kept whole."""
    args, cur, inside = [], "", False
    for c in text:
        if c == '"':
            inside = not inside
        if c == "," and not inside:
            args.append(cur.strip())
            cur = ""
        else:
            cur += c
    args.append(cur.strip())
    return args


def styles(expr):
    """The style names an expression sets and those it clears with NOT."""
    on, off = set(), set()
    for neg, name in re.findall(r"(NOT\s+)?([A-Z_][A-Z0-9_]*)", expr):
        (off if neg else on).add(name)
    return on, off


class Control:
    def __init__(self, kind, args):
        self.kind = kind
        self.text = None
        if args and args[0].startswith('"'):
            self.text = args[0][1:-1].replace('""', '"')
            args = args[1:]
        elif kind in ("CONTROL", "ICON"):
            args = args[1:]  # a bitmap or icon resource in place of the text
        self.id = args[0]
        if kind == "CONTROL":
            cls = args[1].strip('"').lower()
            on, off = styles(args[2])
            x, y, w, h = (int(a) for a in args[3:7])
            button = cls == "button"
            self.label = button and "BS_GROUPBOX" in on or cls == "static" and not (
                on & {"SS_BITMAP", "SS_ICON", "SS_OWNERDRAW"})
            self.input = cls in INPUT_CLASSES or button and bool(on & {
                "BS_AUTORADIOBUTTON", "BS_RADIOBUTTON", "BS_AUTOCHECKBOX", "BS_CHECKBOX",
                "BS_AUTO3STATE", "BS_3STATE"})
            default_stop = False
            self.default = "BS_DEFPUSHBUTTON" in on
        else:
            x, y, w, h = (int(a) for a in args[1:5])
            on, off = styles(",".join(args[5:]))
            self.label = kind in LABELS
            default_stop, self.input = KINDS.get(kind, (False, False))
            self.default = kind == "DEFPUSHBUTTON"
        self.tabstop = ("WS_TABSTOP" in on or default_stop) and "WS_TABSTOP" not in off
        self.noprefix = "SS_NOPREFIX" in on
        self.rect = (x, y, x + w, y + h)

    def key(self):
        if not self.text or self.noprefix:
            return None
        m = re.search(r"&([^&])", self.text.replace("&&", ""))
        return m.group(1).lower() if m else None

    def name(self):
        return f'{self.id} "{self.text}"' if self.text is not None else self.id


def dialogs(text):
    """[(name, is_page, [Control])] in script order."""
    out = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        m = re.match(r"^(\w+)\s+DIALOGEX?\b", lines[i])
        if not m:
            i += 1
            continue
        name, style = m.group(1), ""
        while not lines[i].strip().startswith("BEGIN"):
            if lines[i].startswith("STYLE"):
                style = lines[i]
            i += 1
        controls, stmt = [], ""
        i += 1
        while lines[i].strip() != "END":
            line = re.sub(r"//.*$", "", lines[i]).strip()
            i += 1
            if not line:
                continue
            if stmt and not stmt.rstrip().endswith((",", "|")):
                controls.append(stmt)
                stmt = ""
            stmt += " " + line
        if stmt:
            controls.append(stmt)
        parsed = []
        for s in controls:
            kind, rest = s.strip().split(None, 1)
            parsed.append(Control(kind, split_args(rest)))
        out.append((name, "WS_CHILD" in style, parsed))
        i += 1
    return out


def faults_of(name, is_page, controls):
    faults = []
    buttons = [c for c in controls if c.kind in ("PUSHBUTTON", "DEFPUSHBUTTON")]
    only_cancel = [c.id for c in buttons] == ["IDCANCEL"]  # a progress: Escape or Cancel
    if not is_page and not only_cancel and not any(c.default for c in controls):
        faults.append(f"{name}: no default button")
    seen = {}
    for c in controls:
        k = c.key()
        if k is None:
            continue
        if k in seen:
            faults.append(f"{name}: access key {k} on both {seen[k].name()} and {c.name()}")
        seen[k] = c
    for i, c in enumerate(controls):
        if not c.label or c.key() is None:
            continue
        n = controls[i + 1] if i + 1 < len(controls) else None
        if n is None or not n.input or n.rect[3] <= c.rect[1] or n.rect[2] <= c.rect[0]:
            faults.append(f"{name}: label {c.name()} is followed by "
                          f"{n.name() if n else 'nothing'}, not by the input it names")
    stops = [c for c in controls if c.tabstop]
    for i, a in enumerate(stops):
        for b in stops[i + 1:]:
            row = min(a.rect[3], b.rect[3]) - max(a.rect[1], b.rect[1])
            col = min(a.rect[2], b.rect[2]) - max(a.rect[0], b.rect[0])
            lower = min(a.rect[3] - a.rect[1], b.rect[3] - b.rect[1])
            if (row * 2 > lower and b.rect[2] <= a.rect[0]) or (col > 0 and b.rect[3] <= a.rect[1]):
                faults.append(f"{name}: tab order leads from {a.name()} back to {b.name()}")
    return faults


# One layout with each fault once, for --selftest.
SAMPLE = '''
IDD_SAMPLE DIALOGEX 0, 0, 200, 100
STYLE WS_POPUP
BEGIN
    LTEXT           "&Name", IDC_STATIC, 10, 10, 40, 8
    PUSHBUTTON      "&Browse", IDC_BROWSE, 150, 10, 40, 14
    EDITTEXT        IDC_NAME, 60, 8, 80, 14
    LTEXT           "Pass&word", IDC_STATIC, 10, 30, 40, 8
    EDITTEXT        IDC_PASSWORD, 60, 28, 80, 14
    PUSHBUTTON      "&Cancel", IDCANCEL, 150, 80, 40, 14
    PUSHBUTTON      "&OK", IDOK, 100, 80, 40, 14
    CHECKBOX        "Sho&w", IDC_SHOW, 10, 50, 40, 10
END
'''
SAMPLE_FAULTS = [
    "IDD_SAMPLE: no default button",
    'IDD_SAMPLE: access key w on both IDC_STATIC "Pass&word" and IDC_SHOW "Sho&w"',
    'IDD_SAMPLE: label IDC_STATIC "&Name" is followed by IDC_BROWSE "&Browse", '
    "not by the input it names",
    'IDD_SAMPLE: tab order leads from IDC_BROWSE "&Browse" back to IDC_NAME',
    'IDD_SAMPLE: tab order leads from IDCANCEL "&Cancel" back to IDOK "&OK"',
]


def scripts(paths):
    """(name, text) of the scripts named, or of the four English scripts and
    every translation of each (made from it and its catalogue, as the build
    makes them)."""
    if paths:
        for path in paths:
            with open(path, encoding="utf-8") as f:
                yield os.path.relpath(path), f.read()
        return
    import rclang
    for path in SCRIPTS:
        with open(path, encoding="utf-8") as f:
            yield os.path.relpath(path), f.read()
        prog = rclang.Program(os.path.dirname(os.path.dirname(path)))
        for tag in prog.languages:
            if tag != "en-US":
                yield f"{prog.name} {tag}", prog.translate(tag)[0]


def main(argv):
    if argv[1:] == ["--selftest"]:
        got = faults_of(*dialogs(SAMPLE)[0])
        if got != SAMPLE_FAULTS:
            print("FAULT: the sample gives", got)
            return 1
        return 0
    faults = []
    for path, text in scripts(argv[1:]):
        for d in dialogs(text):
            faults += [f"{path}: {x}" for x in faults_of(*d)]
    for f in faults:
        print("FAULT:", f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
