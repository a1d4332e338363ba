#!/usr/bin/env python3
"""Checks the program sources against the shipped data files.

    python3 data/tools/check_code_keys.py DATA_DIR SOURCE_DIR...

Every string literal in the C and C++ sources of SOURCE_DIR that looks like a
string-table key ("/MainWindow/NoChannel") must exist in every Locale of
DATA_DIR/String.xml, and every settings path ("/Setting/Scan/Region") must
exist in DATA_DIR/Setting.xml; when the literal is the first argument of a
typed store call (GetDWORD, SetBool, ...), the shipped element must have that
type. Keys written with "%d" must exist for at least one number. Literals that
are pieces of a path built at run time ("/Setting/" + name + "/UseJapaneseFont")
are recognised as pieces and not looked up. Test sources are skipped: they use
made-up keys on purpose.

Exits with status 1 and one line per problem when something is missing.
"""

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_data  # noqa: E402

SOURCE_EXTENSIONS = (".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp")
SKIPPED_DIRS = {"tests", "test", "build", ".git", "third_party"}

# A C or C++ string literal (no raw strings) with its optional u8/u/U/L prefix.
LITERAL_RE = re.compile(r'(?:u8|u|U|L)?"((?:[^"\\\n]|\\.)*)"')
# Something shaped like a key or settings path: slash-separated names, each
# starting with a capital (so file-system paths such as "/dev/null" are not).
KEY_SHAPE_RE = re.compile(r"^(/[A-Z][A-Za-z0-9%]*)+$")
TYPED_CALL_RE = re.compile(r'\b(?:Get|Set)(Bool|DWORD|String)\s*\(\s*(?:u8)?"([^"]*)"')
TYPE_NAMES = {"Bool": "bool", "DWORD": "DWORD", "String": "String"}


def strip_comments(text):
    """Removes // and /* */ comments, keeping string literals and line numbers."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == '"' or c == "'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        elif text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def source_files(roots):
    for root in roots:
        for folder, dirs, files in os.walk(root):
            dirs[:] = sorted(d for d in dirs if d not in SKIPPED_DIRS)
            for name in sorted(files):
                if name.endswith(SOURCE_EXTENSIONS) and not re.search(r"(_test|_tests|Test)\.\w+$", name):
                    yield os.path.join(folder, name)


def is_setting(literal):
    return literal == "/ApplicationVersion" or literal.startswith("/Setting/")


def pattern_of(literal):
    """A regular expression for a key that may hold "%d" placeholders."""
    return re.compile("^" + re.escape(literal).replace("%d", "[0-9]+") + "$")


def load_data(data_dir):
    report = check_data.Report()
    settings = {}
    root = check_data.parse(os.path.join(data_dir, "Setting.xml"), report)
    if root is not None:
        settings = {path: kind for path, (kind, _) in check_data.setting_values(root, report).items()}
    tables = {}
    root = check_data.parse(os.path.join(data_dir, "String.xml"), report)
    if root is not None:
        for locale in root:
            if isinstance(locale.tag, str) and locale.tag.lower() == "locale" and locale.get("LCID"):
                tables[locale.get("LCID")] = set(check_data.string_leaves(locale, report, 0))
    return settings, tables, report.problems


def check(data_dir, roots):
    settings, tables, problems = load_data(data_dir)
    if problems or not settings or not tables:
        return ["data files unreadable: " + "; ".join(problems or ["no settings or no Locale"])], 0
    string_keys = set.intersection(*tables.values())
    groups = {"/".join(k.split("/")[:n]) for k in string_keys for n in range(2, k.count("/") + 1)}
    setting_groups = {"/".join(p.split("/")[:n]) for p in settings for n in range(2, p.count("/") + 1)}
    found = []
    seen = 0
    for path in source_files(roots):
        with open(path, encoding="utf-8", errors="replace") as f:
            text = strip_comments(f.read())
        for number, line in enumerate(text.split("\n"), 1):
            typed = {m.group(2): TYPE_NAMES[m.group(1)] for m in TYPED_CALL_RE.finditer(line)}
            for m in LITERAL_RE.finditer(line):
                literal = m.group(1)
                if not KEY_SHAPE_RE.match(literal) or "%" in literal.replace("%d", ""):
                    continue
                seen += 1
                where = "%s:%d: %s" % (os.path.relpath(path), number, literal)
                if is_setting(literal):
                    if literal in setting_groups:
                        continue  # a prefix of paths built at run time
                    kind = settings.get(literal)
                    if kind is None:
                        found.append(where + " is not in Setting.xml")
                    elif literal in typed and typed[literal] != kind:
                        found.append("%s is read or written as %s, Setting.xml has %s" % (where, typed[literal], kind))
                    continue
                if "%d" in literal:
                    pattern = pattern_of(literal)
                    if not any(pattern.match(k) for k in string_keys):
                        found.append(where + " has no numbered key in String.xml")
                    continue
                if literal in string_keys or literal in groups:
                    continue
                if any(p.endswith(literal) and p != literal for p in settings):
                    continue  # the tail of a settings path built at run time
                missing = sorted(lcid for lcid, keys in tables.items() if literal not in keys)
                if len(missing) < len(tables):
                    found.append("%s is missing in Locale %s" % (where, ", ".join(missing)))
                else:
                    found.append(where + " is not in String.xml")
    return found, seen


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip().splitlines()[2])
        return 2
    data_dir, roots = argv[0], [r for r in argv[1:] if os.path.isdir(r)]
    problems, seen = check(data_dir, roots)
    for problem in problems:
        print("FAIL " + problem)
    if problems:
        print("%d problem(s)" % len(problems))
        return 1
    print("code keys OK: %d key and path literals in %d folder(s)" % (seen, len(roots)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
