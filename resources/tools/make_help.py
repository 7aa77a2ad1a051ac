#!/usr/bin/env python3
"""Builds the help files KDZ_<LANG>.mht from resources/brellmark/help/<LANG>.txt.

A source file: "lang: <html language>", "title: <title>", then sections, each
a "== <heading>" line followed by paragraph lines. The output is an MHTML
document (MIME multipart/related) whose one part is the page as UTF-8 HTML,
quoted-printable, with CRLF line ends as mail and browsers expect.

Usage: make_help.py OUTDIR [SOURCEDIR]      (writes the 16 files)
       make_help.py --check FILE.mht ...    (parses them; exits 1 on a fault)
       make_help.py --html FILE.mht         (prints the page, e.g. for
                                             wkhtmltoimage to render)
       make_help.py --selftest              (builds all into a scratch folder and
                                             checks each against its source)
"""
import html
import os
import quopri
import sys
from email import message_from_bytes

BOUNDARY = "----=_NextPart_Tavix_Help"


def page(lang, title, sections):
    out = [
        "<!DOCTYPE html>",
        f'<html lang="{html.escape(lang)}">',
        "<head>",
        '<meta charset="utf-8">',
        f"<title>{html.escape(title)}</title>",
        "<style>body{font-family:Tahoma,Verdana,sans-serif;margin:24px;max-width:720px;color:#222}"
        "h1{color:#1d4f7a;border-bottom:2px solid #1d4f7a}h2{color:#1d4f7a;font-size:1.1em;margin-top:1.4em}"
        "</style>",
        "</head>",
        "<body>",
        f"<h1>{html.escape(title)}</h1>",
    ]
    for heading, paragraphs in sections:
        out.append(f"<h2>{html.escape(heading)}</h2>")
        out.extend(f"<p>{html.escape(p)}</p>" for p in paragraphs)
    out += ["</body>", "</html>", ""]
    return "\n".join(out)


def parse(text, name):
    lang = title = None
    sections = []
    for raw in text.splitlines():
        line = raw.strip()
        if not line:
            continue
        if line.startswith("lang:"):
            lang = line[5:].strip()
        elif line.startswith("title:"):
            title = line[6:].strip()
        elif line.startswith("== "):
            sections.append((line[3:].strip(), []))
        elif sections:
            sections[-1][1].append(line)
        else:
            raise SystemExit(f"{name}: text before the first section: {line!r}")
    if not lang or not title or not sections:
        raise SystemExit(f"{name}: needs lang:, title: and at least one section")
    return lang, title, sections


def mhtml(code, lang, title, sections):
    body = quopri.encodestring(page(lang, title, sections).encode("utf-8")).decode("ascii")
    body = body.replace("\r\n", "\n").replace("\n", "\r\n")
    subject = "=?utf-8?b?" + __import__("base64").b64encode(title.encode("utf-8")).decode() + "?="
    head = (
        "From: <Saved by Tavix>\r\n"
        f"Subject: {subject}\r\n"
        "MIME-Version: 1.0\r\n"
        f'Content-Type: multipart/related; type="text/html"; boundary="{BOUNDARY}"\r\n'
        "\r\n"
        "This is a multi-part message in MIME format.\r\n"
        "\r\n"
        f"--{BOUNDARY}\r\n"
        'Content-Type: text/html; charset="utf-8"\r\n'
        "Content-Transfer-Encoding: quoted-printable\r\n"
        f"Content-Location: file:///C:/KDZ_{code}.htm\r\n"
        "\r\n"
    )
    return (head + body + f"\r\n--{BOUNDARY}--\r\n").encode("ascii")


def check(path):
    """Returns the title of the page in `path`, or raises ValueError."""
    with open(path, "rb") as f:
        msg = message_from_bytes(f.read())
    if msg.get_content_type() != "multipart/related":
        raise ValueError("not multipart/related")
    parts = [p for p in msg.walk() if p.get_content_type() == "text/html"]
    if len(parts) != 1:
        raise ValueError(f"{len(parts)} HTML parts")
    text = parts[0].get_payload(decode=True).decode("utf-8")
    start, end = text.find("<title>"), text.find("</title>")
    if start < 0 or end < start or "<body>" not in text:
        raise ValueError("no title or body")
    return html.unescape(text[start + 7:end])


EXPECTED = ["CHS", "CHT", "DAN", "DUE", "DUT", "ENG", "ESP", "FIN", "FRA", "ITA", "JPN",
            "KOR", "NOR", "POR", "RUS", "SWE"]


def selftest():
    import tempfile
    src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "brellmark", "help")
    with tempfile.TemporaryDirectory() as out:
        main(["make_help.py", out, src])
        names = sorted(os.listdir(out))
        if names != [f"KDZ_{c}.mht" for c in EXPECTED]:
            print(f"help files: {names}", file=sys.stderr)
            return 1
        for code in EXPECTED:
            with open(os.path.join(src, f"{code}.txt"), encoding="utf-8") as f:
                _, title, sections = parse(f.read(), code)
            got = check(os.path.join(out, f"KDZ_{code}.mht"))
            if got != title or len(sections) != 5:
                print(f"KDZ_{code}.mht: title {got!r}, {len(sections)} sections", file=sys.stderr)
                return 1
    print(f"help: {len(EXPECTED)} files ok")
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == "--html":
        with open(argv[2], "rb") as f:
            msg = message_from_bytes(f.read())
        for part in msg.walk():
            if part.get_content_type() == "text/html":
                sys.stdout.write(part.get_payload(decode=True).decode("utf-8"))
                return 0
        return 1
    if len(argv) >= 2 and argv[1] == "--selftest":
        return selftest()
    if len(argv) >= 2 and argv[1] == "--check":
        bad = 0
        for path in argv[2:]:
            try:
                print(f"{os.path.basename(path)}: {check(path)}")
            except (ValueError, UnicodeDecodeError) as e:
                print(f"{path}: {e}", file=sys.stderr)
                bad += 1
        return 1 if bad else 0
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    out = argv[1]
    src = argv[2] if len(argv) > 2 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "brellmark", "help")
    os.makedirs(out, exist_ok=True)
    for name in sorted(os.listdir(src)):
        if not name.endswith(".txt"):
            continue
        code = name[:-4]
        with open(os.path.join(src, name), encoding="utf-8") as f:
            lang, title, sections = parse(f.read(), name)
        data = mhtml(code, lang, title, sections)
        target = os.path.join(out, f"KDZ_{code}.mht")
        with open(target, "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
