#!/usr/bin/env python3
"""Per-language resource scripts from a program's English script and .po files.

Each program keeps one layout: resources/<prog>/lang/en-US.rc holds its
dialogs, menus and string tables in English. Every other language is a
gettext catalogue resources/<prog>/po/<tag>.po, and resources/<prog>/po/LINGUAS
lists the languages the program ships. At build time this tool writes, for
each language, a copy of en-US.rc with that language's LANGUAGE statement and
its texts, plus translations.rc that includes them all; the program's
top-level script includes translations.rc after lang/en-US.rc.

Catalogue entries are keyed by context and English text: the context is the
resource that holds the text (the dialog, menu or string identifier). A text
without an entry for its own context takes any entry with the same English
text; a text without any entry stays English, so every language always
defines every identifier.

Usage:
  rclang.py build <prog-dir> <out-dir>   write the per-language scripts
  rclang.py report [<prog-dir>...]       untranslated texts per language
  rclang.py check [<prog-dir>...]        consistency (exit 1 on a fault)
  rclang.py pot <prog-dir>               the catalogue template on stdout
"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.normpath(os.path.join(HERE, ".."))

# tag: (primary, sublanguage, language identifier, ANSI code page, name)
LANGUAGES = {
    "en-US": ("LANG_ENGLISH", "SUBLANG_ENGLISH_US", 0x0409, 1252, "English"),
    "zh-TW": ("LANG_CHINESE", "SUBLANG_CHINESE_TRADITIONAL", 0x0404, 950, "Chinese (Traditional)"),
    "zh-CN": ("LANG_CHINESE", "SUBLANG_CHINESE_SIMPLIFIED", 0x0804, 936, "Chinese (Simplified)"),
    "da-DK": ("LANG_DANISH", "SUBLANG_DANISH_DENMARK", 0x0406, 1252, "Danish"),
    "nl-NL": ("LANG_DUTCH", "SUBLANG_DUTCH", 0x0413, 1252, "Dutch"),
    "fi-FI": ("LANG_FINNISH", "SUBLANG_FINNISH_FINLAND", 0x040B, 1252, "Finnish"),
    "fr-FR": ("LANG_FRENCH", "SUBLANG_FRENCH", 0x040C, 1252, "French"),
    "de-DE": ("LANG_GERMAN", "SUBLANG_GERMAN", 0x0407, 1252, "German"),
    "it-IT": ("LANG_ITALIAN", "SUBLANG_ITALIAN", 0x0410, 1252, "Italian"),
    "ja-JP": ("LANG_JAPANESE", "SUBLANG_JAPANESE_JAPAN", 0x0411, 932, "Japanese"),
    "ko-KR": ("LANG_KOREAN", "SUBLANG_KOREAN", 0x0412, 949, "Korean"),
    "nb-NO": ("LANG_NORWEGIAN", "SUBLANG_NORWEGIAN_BOKMAL", 0x0414, 1252, "Norwegian"),
    "pt-BR": ("LANG_PORTUGUESE", "SUBLANG_PORTUGUESE_BRAZILIAN", 0x0416, 1252, "Portuguese (Brazil)"),
    "ru-RU": ("LANG_RUSSIAN", "SUBLANG_RUSSIAN_RUSSIA", 0x0419, 1251, "Russian"),
    "es-MX": ("LANG_SPANISH", "SUBLANG_SPANISH_MEXICAN", 0x080A, 1252, "Spanish (Mexico)"),
    "sv-SE": ("LANG_SWEDISH", "SUBLANG_SWEDISH", 0x041D, 1252, "Swedish"),
}

# Statements whose first string is a text the user reads.
TEXT_KEYWORDS = {
    "CAPTION", "LTEXT", "RTEXT", "CTEXT", "PUSHBUTTON", "DEFPUSHBUTTON", "GROUPBOX",
    "CHECKBOX", "AUTOCHECKBOX", "RADIOBUTTON", "AUTORADIOBUTTON", "STATE3", "AUTO3STATE",
    "PUSHBOX", "CONTROL", "MENUITEM", "POPUP",
}
RESOURCE_KINDS = ("DIALOGEX", "DIALOG", "MENU", "MENUEX")

# Languages shipped a second time under their primary language alone
# (sublanguage neutral): the system's lookup tries that right after the
# user's own language, so that Portuguese (Portugal), Spanish (Spain), French
# (Canada), German (Austria) and the like get these texts rather than
# English. Not Chinese: Traditional and Simplified are different scripts.
ALSO_NEUTRAL = {tag for tag in LANGUAGES if not tag.startswith(("zh-", "en-"))}

STRING = re.compile(r'"((?:[^"]|"")*)"')
FORMAT = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?[hlL]*[diouxXcsSeEfgGp%]")


# ---------------------------------------------------------------------------
# Resource scripts

def unescape(s, escapes, unknown):
    """`s` with each backslash and the character after it replaced by what
    `escapes` maps that character to, or by unknown(character)."""
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            n = s[i + 1]
            out.append(escapes[n] if n in escapes else unknown(n))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def rc_unescape(s):
    # An unknown escape stays as it is, as the resource compiler keeps it.
    return unescape(s.replace('""', '"'),
                    {"n": "\n", "t": "\t", "r": "\r", "\\": "\\", "a": "\a"}, lambda n: "\\" + n)


def rc_escape(s):
    return (s.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")
            .replace("\r", "\\r").replace('"', '""'))


def scan_rc(text):
    """The texts of a script: [(start, end, context, english)] in file order,
    with start/end the span of the string literal (quotes included), and the
    identifiers it defines: {"dialogs": [...], "menus": [...], "strings": [...]}."""
    texts, ids = [], {"dialogs": [], "menus": [], "strings": []}
    context, in_table, depth, pending = None, False, 0, None
    pos = 0
    for line in text.splitlines(keepends=True):
        code = _strip_comment(line)
        stripped = code.strip()
        words = re.findall(r"[A-Za-z_]\w*", stripped.split('"', 1)[0])
        first = words[0] if words else ""
        if depth == 0 and not in_table:
            if len(words) >= 2 and words[1] in RESOURCE_KINDS and not stripped.startswith('"'):
                context = words[0]
                ids["menus" if words[1].startswith("MENU") else "dialogs"].append(context)
            elif first == "STRINGTABLE":
                in_table = True
        if first == "BEGIN" or stripped == "{":
            depth += 1
        elif first == "END" or stripped == "}":
            depth -= 1
            if depth == 0:
                in_table = False
        literal = STRING.search(code)
        if in_table and depth >= 1 and first and first not in ("BEGIN",) and not literal:
            pending = first  # the identifier's text follows on the next line
        if literal:
            start, end = pos + literal.start(), pos + literal.end()
            if in_table and depth >= 1:
                sid = pending if stripped.startswith('"') else first
                pending = None
                if sid:
                    ids["strings"].append(sid)
                    texts.append((start, end, sid, rc_unescape(literal.group(1))))
            elif (first in TEXT_KEYWORDS and context and
                  re.match(rf"\s*{first}\s*$", code[: literal.start()])):
                # Only a text right after its keyword: CONTROL may name a
                # bitmap or icon first, and its window class comes later.
                english = rc_unescape(literal.group(1))
                if english:
                    texts.append((start, end, context, english))
        pos += len(line)
    return texts, ids


def _strip_comment(line):
    # A // outside string literals starts a comment.
    inside = False
    for i, c in enumerate(line):
        if c == '"':
            inside = not inside
        elif not inside and line.startswith("//", i):
            return line[:i]
    return line


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


# ---------------------------------------------------------------------------
# Catalogues

def po_unescape(s):
    return unescape(s, {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "r": "\r"}, lambda n: n)


def po_escape(s):
    return s.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n").replace("\t", "\\t")


def read_po(path):
    """[(context, english, translation, fuzzy)] of a catalogue, header left out."""
    entries, cur, field, fuzzy = [], {}, None, False

    def flush():
        nonlocal cur, fuzzy
        if "msgid" in cur and cur["msgid"] != "":
            entries.append((cur.get("msgctxt"), cur["msgid"], cur.get("msgstr", ""), fuzzy))
        cur, fuzzy = {}, False

    for raw in read(path).splitlines():
        line = raw.strip()
        if not line:
            flush()
            field = None
            continue
        if line.startswith("#,") and "fuzzy" in line:
            fuzzy = True
            continue
        if line.startswith("#"):
            continue
        m = re.match(r'(msgctxt|msgid|msgstr)\s+"(.*)"$', line)
        if m:
            if m.group(1) in ("msgctxt",) or (m.group(1) == "msgid" and "msgid" in cur):
                if "msgstr" in cur:
                    flush()
            field = m.group(1)
            cur[field] = po_unescape(m.group(2))
        elif line.startswith('"') and field:
            cur[field] += po_unescape(line[1:-1])
    flush()
    return entries


def write_po(path, tag, entries, program):
    name = LANGUAGES[tag][4]
    lines = [
        f"# {program}: {name} texts of the dialogs, menus and strings.",
        "# The context of each entry names the resource that shows the text.",
        'msgid ""',
        'msgstr ""',
        '"Content-Type: text/plain; charset=UTF-8\\n"',
        f'"Language: {tag.replace("-", "_")}\\n"',
        "",
    ]
    for ctx, english, translated in entries:
        lines.append(f'msgctxt "{ctx}"')
        lines.append(f'msgid "{po_escape(english)}"')
        lines.append(f'msgstr "{po_escape(translated)}"')
        lines.append("")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def formats(s):
    return [m for m in FORMAT.findall(s) if m != "%%"]


# ---------------------------------------------------------------------------
# Programs

class Program:
    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.name = os.path.basename(self.folder)
        self.english_path = os.path.join(self.folder, "lang", "en-US.rc")
        self.english = read(self.english_path)
        self.texts, self.ids = scan_rc(self.english)
        self.po_dir = os.path.join(self.folder, "po")
        linguas = os.path.join(self.po_dir, "LINGUAS")
        self.languages = []
        if os.path.exists(linguas):
            for line in read(linguas).splitlines():
                self.languages += line.split("#", 1)[0].split()

    def catalogue(self, tag):
        path = os.path.join(self.po_dir, tag + ".po")
        return read_po(path) if os.path.exists(path) else []

    def translate(self, tag):
        """The language's script, and the texts left in English [(context, english)]."""
        exact, by_text = {}, {}
        for ctx, english, translated, fuzzy in self.catalogue(tag):
            if translated and not fuzzy:
                exact[(ctx, english)] = translated
                by_text.setdefault(english, translated)
        out, last, missing = [], 0, []
        for start, end, ctx, english in self.texts:
            t = exact.get((ctx, english)) or by_text.get(english)
            if t is None:
                if any(c.isalpha() for c in english):  # "1.", "/", "--" stay as they are
                    missing.append((ctx, english))
                t = english
            out.append(self.english[last:start])
            out.append('"' + rc_escape(t) + '"')
            last = end
        out.append(self.english[last:])
        body = "".join(out)
        primary, sub, langid = LANGUAGES[tag][:3]
        # Numbers: the resource compiler's headers do not name every sublanguage.
        statement = f"LANGUAGE 0x{langid & 0x3FF:02X}, 0x{langid >> 10:02X}  // {primary}, {sub}"
        body, n = re.subn(r"^LANGUAGE\s+\w+\s*,\s*\w+", statement, body, count=1, flags=re.M)
        if n != 1:
            raise SystemExit(f"{self.english_path}: no LANGUAGE statement")
        head = (f"// {LANGUAGES[tag][4]} ({tag}, code page {LANGUAGES[tag][3]}): generated by "
                f"resources/tools/rclang.py\n// from {self.name}/lang/en-US.rc and {self.name}/po/{tag}.po. "
                "Do not edit.\n")
        return head + body, missing


def write_if_changed(path, text):
    if os.path.exists(path) and read(path) == text:
        return
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def build(folder, out):
    prog = Program(folder)
    os.makedirs(out, exist_ok=True)
    includes = ["// Generated by resources/tools/rclang.py: every language but English.\n"]
    for tag in prog.languages:
        if tag == "en-US":
            continue
        script, missing = prog.translate(tag)
        write_if_changed(os.path.join(out, f"{tag}.rc"), script)
        includes.append(f'#include "{tag}.rc"\n')
        if tag in ALSO_NEUTRAL:
            primary = LANGUAGES[tag][2] & 0x3FF
            neutral = re.sub(r"^LANGUAGE .*$", f"LANGUAGE 0x{primary:02X}, 0x00  // SUBLANG_NEUTRAL",
                             script, count=1, flags=re.M)
            name = tag.split("-")[0] + ".rc"
            write_if_changed(os.path.join(out, name), neutral)
            includes.append(f'#include "{name}"\n')
        if missing:
            print(f"rclang: {prog.name} {tag}: {len(missing)} of {len(prog.texts)} texts untranslated")
    write_if_changed(os.path.join(out, "translations.rc"), "".join(includes))


def report(folders):
    for folder in folders:
        prog = Program(folder)
        for tag in prog.languages:
            if tag == "en-US":
                continue
            _, missing = prog.translate(tag)
            words = sum(1 for *_, e in prog.texts if any(c.isalpha() for c in e))
            print(f"{prog.name} {tag}: {words - len(missing)} of {words} texts translated,"
                  f" {len(missing)} untranslated")
            for ctx, english in missing:
                print(f"    {ctx}: {english!r}")


def check(folders):
    faults = []
    for folder in folders:
        prog = Program(folder)
        english_keys = {(c, e) for _, _, c, e in prog.texts}
        if not prog.languages:
            faults.append(f"{prog.name}: po/LINGUAS lists no language")
        for tag in prog.languages:
            if tag not in LANGUAGES:
                faults.append(f"{prog.name}: unknown language {tag}")
                continue
            if tag == "en-US":
                continue
            po = os.path.join(prog.po_dir, tag + ".po")
            if not os.path.exists(po):
                faults.append(f"{prog.name}: {tag}.po missing")
                continue
            for ctx, english, translated, fuzzy in prog.catalogue(tag):
                where = f"{prog.name} {tag}.po {ctx} {english!r}"
                if (ctx, english) not in english_keys:
                    faults.append(f"{where}: the English text is gone or changed; translate the new text")
                if not translated or fuzzy:
                    faults.append(f"{where}: no translation")
                    continue
                if formats(english) != formats(translated):
                    faults.append(f"{where}: format specifiers {formats(translated)} differ from English")
                if english.count("&") - 2 * english.count("&&") == 1 and translated.count("&") != 1 + 2 * translated.count("&&"):
                    faults.append(f"{where}: the access key & must appear once")
            script, _ = prog.translate(tag)
            _, ids = scan_rc(script)
            for kind in ("dialogs", "menus", "strings"):
                if sorted(ids[kind]) != sorted(prog.ids[kind]):
                    faults.append(f"{prog.name} {tag}: {kind} differ from English")
        for tag in os.listdir(prog.po_dir) if os.path.isdir(prog.po_dir) else []:
            if tag.endswith(".po") and tag[:-3] not in prog.languages:
                faults.append(f"{prog.name}: {tag} is not listed in po/LINGUAS")
    for f in faults:
        print("FAULT:", f)
    return faults


def pot(folder):
    prog = Program(folder)
    seen = set()
    for _, _, ctx, english in prog.texts:
        if (ctx, english) in seen:
            continue
        seen.add((ctx, english))
        print(f'msgctxt "{ctx}"\nmsgid "{po_escape(english)}"\nmsgstr ""\n')


def programs(args):
    if args:
        return args
    return sorted(os.path.join(RESOURCES, d) for d in os.listdir(RESOURCES)
                  if os.path.exists(os.path.join(RESOURCES, d, "po", "LINGUAS")))


def main(argv):
    if len(argv) >= 2 and argv[1] == "build" and len(argv) == 4:
        build(argv[2], argv[3])
    elif len(argv) >= 2 and argv[1] == "report":
        report(programs(argv[2:]))
    elif len(argv) >= 2 and argv[1] == "check":
        return 1 if check(programs(argv[2:])) else 0
    elif len(argv) == 3 and argv[1] == "pot":
        pot(argv[2])
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
