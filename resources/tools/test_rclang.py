#!/usr/bin/env python3
"""Tests of rclang.py: which texts of a script are translated, what a
translated script keeps, and which catalogue faults the check reports."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rclang  # noqa: E402

SCRIPT = r'''// A comment with "a quoted word" is no text.
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US

IDD_ONE DIALOGEX 0, 0, 100, 50
STYLE DS_SHELLFONT | WS_POPUP | WS_CAPTION
CAPTION "One"
CLASS "SomeWindowClass"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    LTEXT           "Say ""hello"".", IDC_STATIC, 4, 4, 90, 8
    CONTROL         IDB_PICTURE, 2101, "Static", SS_BITMAP, 4, 14, 12, 12
    CONTROL         "&Check", IDC_CHECK, "Button", BS_AUTOCHECKBOX | WS_TABSTOP,
                    4, 28, 80, 10
    CONTROL         "", IDC_LIST, "SysListView32", LVS_REPORT, 4, 40, 80, 10
    LTEXT           "1.", IDC_STATIC, 4, 40, 8, 8  // no letters
    DEFPUSHBUTTON   "&OK", IDOK, 50, 34, 40, 14
END

IDR_MENU MENU
BEGIN
    POPUP "Server"
    BEGIN
        MENUITEM "&Quick Setup", ID_RUN
    END
END

STRINGTABLE
BEGIN
    IDS_A "Line one\nline two, %s of %d"
    IDS_B
        "Said on the next line"
END
'''

EXPECTED_TEXTS = [
    ("IDD_ONE", "One"),
    ("IDD_ONE", 'Say "hello".'),
    ("IDD_ONE", "&Check"),
    ("IDD_ONE", "1."),
    ("IDD_ONE", "&OK"),
    ("IDR_MENU", "Server"),
    ("IDR_MENU", "&Quick Setup"),
    ("IDS_A", "Line one\nline two, %s of %d"),
    ("IDS_B", "Said on the next line"),
]


class Fixture(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = os.path.join(self.tmp.name, "prog")
        os.makedirs(os.path.join(self.dir, "lang"))
        os.makedirs(os.path.join(self.dir, "po"))
        with open(os.path.join(self.dir, "lang", "en-US.rc"), "w", encoding="utf-8") as f:
            f.write(SCRIPT)
        with open(os.path.join(self.dir, "po", "LINGUAS"), "w") as f:
            f.write("de-DE\n")

    def tearDown(self):
        self.tmp.cleanup()

    def catalogue(self, entries):
        rclang.write_po(os.path.join(self.dir, "po", "de-DE.po"), "de-DE", entries, "prog")


class ScanAndTranslate(Fixture):
    def test_texts_and_identifiers(self):
        texts, ids = rclang.scan_rc(SCRIPT)
        self.assertEqual([(c, e) for _, _, c, e in texts], EXPECTED_TEXTS)
        self.assertEqual(ids, {"dialogs": ["IDD_ONE"], "menus": ["IDR_MENU"],
                               "strings": ["IDS_A", "IDS_B"]})

    def test_translated_script_changes_texts_and_language_only(self):
        # The same English text in another resource takes the translation of
        # its twin; a text without an entry stays English.
        self.catalogue([("IDD_ONE", "One", "Eins"),
                        ("IDD_ONE", 'Say "hello".', 'Sag "Hallo".'),
                        ("IDD_ONE", "&Check", "&Prüfen"),
                        ("IDR_MENU", "Server", "Server"),
                        ("IDS_A", "Line one\nline two, %s of %d", "Zeile eins\nZeile zwei, %s von %d"),
                        ("ELSEWHERE", "&OK", "&OK!")])
        prog = rclang.Program(self.dir)
        script, missing = prog.translate("de-DE")
        self.assertIn("LANGUAGE 0x07, 0x01", script)
        self.assertIn('CAPTION "Eins"', script)
        self.assertIn('"Sag ""Hallo"".", IDC_STATIC', script)
        self.assertIn('CLASS "SomeWindowClass"', script)
        self.assertIn('"Static", SS_BITMAP', script)
        self.assertIn('"Button", BS_AUTOCHECKBOX', script)
        self.assertIn('FONT 8, "MS Shell Dlg"', script)
        self.assertIn('"&OK!", IDOK', script)
        self.assertIn(r'IDS_A "Zeile eins\nZeile zwei, %s von %d"', script)
        self.assertEqual(missing, [("IDR_MENU", "&Quick Setup"), ("IDS_B", "Said on the next line")])
        # Same identifiers, same layout lines.
        texts, ids = rclang.scan_rc(script)
        self.assertEqual(ids, rclang.scan_rc(SCRIPT)[1])
        self.assertEqual(len(texts), len(EXPECTED_TEXTS))

    def test_build_writes_every_listed_language(self):
        self.catalogue([("IDD_ONE", "One", "Eins")])
        out = os.path.join(self.tmp.name, "out")
        rclang.build(self.dir, out)
        with open(os.path.join(out, "translations.rc"), encoding="utf-8") as f:
            self.assertIn('#include "de-DE.rc"', f.read())
        self.assertTrue(os.path.exists(os.path.join(out, "de-DE.rc")))


class CatalogueFaults(Fixture):
    CASES = [
        # (entries, expected fault fragment or None)
        ([("IDD_ONE", "One", "Eins")], None),
        ([("IDS_A", "Line one\nline two, %s of %d", "%d von %s")], "format specifiers"),
        ([("IDS_A", "Line one\nline two, %s of %d", "nur %s")], "format specifiers"),
        ([("IDD_ONE", "&Check", "Prüfen")], "access key"),
        ([("IDD_ONE", "&Check", "&Prü&fen")], "access key"),
        ([("IDD_ONE", "Old English text", "Alter Text")], "gone or changed"),
        ([("IDD_ONE", "One", "")], "no translation"),
    ]

    def test_cases(self):
        for entries, fragment in self.CASES:
            with self.subTest(entries=entries):
                self.catalogue(entries)
                faults = rclang.check([self.dir])
                if fragment is None:
                    self.assertEqual(faults, [])
                else:
                    self.assertTrue(any(fragment in f for f in faults), faults)

    def test_unlisted_catalogue_and_unknown_language(self):
        self.catalogue([])
        with open(os.path.join(self.dir, "po", "xx-YY.po"), "w") as f:
            f.write("")
        with open(os.path.join(self.dir, "po", "LINGUAS"), "w") as f:
            f.write("de-DE qq-QQ\n")
        faults = rclang.check([self.dir])
        self.assertTrue(any("xx-YY.po is not listed" in f for f in faults), faults)
        self.assertTrue(any("unknown language qq-QQ" in f for f in faults), faults)


class ShippedCatalogues(unittest.TestCase):
    def test_every_program_every_language(self):
        # Every catalogue entry still matches its English text, keeps its
        # format specifiers in order and its access key; every language
        # defines the same dialogs, menus and strings as English.
        programs = rclang.programs([])
        self.assertTrue(programs)
        self.assertEqual(rclang.check(programs), [])

    def test_languages_and_code_pages(self):
        for tag, (_, _, langid, cp, _) in rclang.LANGUAGES.items():
            with self.subTest(tag=tag):
                self.assertIn(cp, (932, 936, 949, 950, 1251, 1252))
                self.assertNotEqual(langid & 0x3FF, 0)


if __name__ == "__main__":
    unittest.main()
