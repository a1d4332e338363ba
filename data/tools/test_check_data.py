#!/usr/bin/env python3
"""Shows that check_data.py finds the faults it exists for: each case copies
the shipped files into a scratch folder, damages one of them and expects the
check to fail with a message naming the fault."""

import io
import os
import shutil
import sys
import tempfile
import unittest
from contextlib import redirect_stdout

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import check_code_keys  # noqa: E402
import check_data  # noqa: E402


def run_check(folder):
    out = io.StringIO()
    with redirect_stdout(out):
        status = check_data.main([folder])
    return status, out.getvalue()


class CheckDataTest(unittest.TestCase):
    def setUp(self):
        self.dirs = []
        self.fresh()

    def tearDown(self):
        for folder in self.dirs:
            shutil.rmtree(folder)

    def fresh(self):
        """Starts a case on an undamaged copy of the shipped files."""
        self.dir = tempfile.mkdtemp(prefix="tunora-data-")
        self.dirs.append(self.dir)
        for name in ("Setting.xml", "String.xml", "Playlist.xml"):
            shutil.copy(os.path.join(DATA, name), self.dir)

    def edit(self, name, old, new, count=1):
        path = os.path.join(self.dir, name)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        self.assertIn(old, text, "fixture text not found in " + name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new, count))

    def assertFails(self, needle):
        status, out = run_check(self.dir)
        self.assertEqual(status, 1, out)
        self.assertIn(needle, out)

    def test_shipped_files_pass(self):
        status, out = run_check(self.dir)
        self.assertEqual(status, 0, out)

    def test_setting_faults(self):
        cases = [
            ("DWORD without a number", '<Volume Type="DWORD">50<', '<Volume Type="DWORD">loud<', "not an unsigned 32-bit"),
            ("DWORD above 32 bits", '<Country Type="DWORD">81<', '<Country Type="DWORD">4294967296<', "not an unsigned"),
            ("bool in capitals", '<Shuffle Type="bool">false<', '<Shuffle Type="bool">False<', "neither 'true'"),
            ("unknown type", '<Mute Type="DWORD">', '<Mute Type="int">', "unknown Type 'int'"),
            ("wrong type", '<LastFile Type="String">', '<LastFile Type="DWORD">', "the programs use 'String'"),
            ("missing setting", '<LiveinSourceType Type="String">ISDBT</LiveinSourceType>', "", "LiveinSourceType: missing"),
            ("misspelt path", '<LiveinSourceType Type="String">ISDBT</LiveinSourceType>',
             '<LiveInSourceType Type="String">ISDBT</LiveInSourceType>', "not a setting of the programs"),
            ("resident flash path", "<Setting>\n  <ApplicationVersion",
             "<Setting>\n  <ResidentFlashPath>\\x\\</ResidentFlashPath>\n  <ApplicationVersion", "ResidentFlashPath"),
            ("out of range", '<BufferSize Type="DWORD">300<', '<BufferSize Type="DWORD">5000<', "outside 1..1200"),
            ("reversed scan range", '<ISDBT Type="DWORD">473143<', '<ISDBT Type="DWORD">900000<', "not below end"),
            ("factory password", '<Password Type="String"></Password>', '<Password Type="String">1234</Password>',
             "factory password"),
            ("broken XML", "</Setting>\n</Setting>", "</Setting>", "cannot be read"),
        ]
        for name, old, new, needle in cases:
            with self.subTest(name):
                self.fresh()
                self.edit("Setting.xml", old, new)
                self.assertFails(needle)

    def test_string_faults(self):
        cases = [
            ("key missing from one locale", "<NoChannel>チャンネルがありません</NoChannel>", "", "1041 /MainWindow/NoChannel: missing"),
            ("key only in one locale", "<NoChannel>チャンネルがありません</NoChannel>",
             "<NoChannel>チャンネルがありません</NoChannel><Extra>x</Extra>", "1033 /MainWindow/Extra: missing"),
            ("locale missing", 'LCID="1046"', 'LCID="1047"', "1046: Locale missing"),
            ("empty text", "<Tsunami>Tsunami alert</Tsunami>", "<Tsunami></Tsunami>", "empty text"),
            ("language not self-named", "<Japanese>日本語</Japanese>", "<Japanese>Japanese</Japanese>",
             "not named in its own language"),
        ]
        for name, old, new, needle in cases:
            with self.subTest(name):
                self.fresh()
                self.edit("String.xml", old, new)
                self.assertFails(needle)

    def test_hand_edit_of_generated_strings_is_caught(self):
        self.edit("String.xml", "<Minimize>Minimize</Minimize>", "<Minimize>Minimise</Minimize>")
        self.assertFails("differs from what gen_strings.py generates")

    def test_playlist_without_current_playing(self):
        self.edit("Playlist.xml", 'name="Current Playing"', 'name="Favourites"')
        self.assertFails("Current Playing")


GOOD_SOURCE = r"""
// "/Not/A/Key" in a comment is ignored.
void Show(Loader* strings, Store* store, int i) {
  strings->GetString("/MainWindow/NoChannel", buf, 260);
  strings->GetString("/Mainwindow/NoSDCard", buf, 260);
  Format(key, "/ChannelList/TitleBarName%d", i);
  store->GetDWORD("/Setting/Scan/Region", &region);
  store->SetBool("/Setting/Shuffle", 1);
  store->GetString("/ApplicationVersion", buf, 260);
  std::string path = std::string("/Setting/") + safeName + "/UseJapaneseFont";
  const char* device = "/dev/null";   /* not key-shaped: lower-case start is fine too */
}
"""


class CheckCodeKeysTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tunora-src-")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def scan(self, source, name="window.cpp"):
        with open(os.path.join(self.dir, name), "w", encoding="utf-8") as f:
            f.write(source)
        return check_code_keys.check(DATA, [self.dir])

    def test_keys_and_paths_the_data_holds_pass(self):
        problems, seen = self.scan(GOOD_SOURCE)
        self.assertEqual(problems, [])
        self.assertEqual(seen, 7)  # the comment, "/Setting/" and "/dev/null" are not keys

    def test_faults_are_reported(self):
        cases = [
            ("unknown string key", 'GetString("/MainWindow/NoSuchText", b, 260);', "not in String.xml"),
            ("key in the wrong case group", 'GetString("/MainWindow/NoSDCard", b, 260);', "not in String.xml"),
            ("numbered key without numbers", 'Format(k, "/FileBrowser/Missing%d", i);', "no numbered key"),
            ("unknown setting", 'GetDWORD("/Setting/Scan/Nothing", &v);', "not in Setting.xml"),
            ("misspelt setting", 'GetString("/Setting/LiveInSourceType", b, 260);', "not in Setting.xml"),
            ("setting read with another type", 'GetBool("/Setting/Volume", &b);', "read or written as bool"),
            ("string written as number", 'SetDWORD("/Setting/LastFile", 0);', "Setting.xml has String"),
        ]
        for name, line, needle in cases:
            with self.subTest(name):
                problems, _ = self.scan(GOOD_SOURCE + line + "\n")
                self.assertEqual(len(problems), 1, problems)
                self.assertIn(needle, problems[0])

    def test_test_sources_are_skipped(self):
        problems, _ = self.scan('GetString("/Made/Up", b, 260);', name="strings_test.cpp")
        self.assertEqual(problems, [])


if __name__ == "__main__":
    unittest.main()
