#!/usr/bin/env python3
"""Checks the shipped data files: Setting.xml, String.xml and Playlist.xml.

    python3 data/tools/check_data.py [DATA_DIR]

DATA_DIR defaults to the folder above this script. Prints every problem found
and exits with status 1 when there is one, 0 otherwise.
"""

import os
import re
import sys
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen_strings  # noqa: E402  (the generator of String.xml, for the up-to-date check)

# Every setting the programs read or write, with the type they use.
SETTINGS = {
    "/ApplicationVersion": "String",
    "/Setting/AlwaysTop": "bool",
    "/Setting/Audio/ChannelMode": "DWORD",
    "/Setting/Audio/EQMode": "DWORD",
    "/Setting/Brightness/DayBrightness": "DWORD",
    "/Setting/Brightness/NightBrightness": "DWORD",
    "/Setting/ChannelCachePath": "String",
    "/Setting/ChannelType": "DWORD",
    "/Setting/General/Language": "DWORD",
    "/Setting/General/Repeat": "DWORD",
    "/Setting/General/Subtitle": "DWORD",
    "/Setting/General/SyncTime": "DWORD",
    "/Setting/LastChannel": "DWORD",
    "/Setting/LastFile": "String",
    "/Setting/LastFileChannel": "DWORD",
    "/Setting/LastPlayList/Index": "DWORD",
    "/Setting/LastPlayList/Name": "String",
    "/Setting/LastSkin": "DWORD",
    "/Setting/LiveinSourceType": "String",
    "/Setting/Mute": "DWORD",
    "/Setting/PVR/DiskLimitSize": "DWORD",
    "/Setting/PVR/EncryptionMode": "DWORD",
    "/Setting/PVR/FileLimitSize": "DWORD",
    "/Setting/PVR/Path": "String",
    "/Setting/ParentControl/Age": "DWORD",
    "/Setting/ParentControl/Content": "DWORD",
    "/Setting/ParentControl/Password": "String",
    "/Setting/Scan/BandWidth": "DWORD",
    "/Setting/Scan/Country": "DWORD",
    "/Setting/Scan/Region": "DWORD",
    "/Setting/Scan/StartFreq/ISDBT": "DWORD",
    "/Setting/Scan/EndFreq/ISDBT": "DWORD",
    "/Setting/Scan/StartFreq/CMMB": "DWORD",
    "/Setting/Scan/EndFreq/CMMB": "DWORD",
    "/Setting/Scan/StartFreq/DTMB": "DWORD",
    "/Setting/Scan/EndFreq/DTMB": "DWORD",
    "/Setting/Scan/StartFreq/DVBT": "DWORD",
    "/Setting/Scan/EndFreq/DVBT": "DWORD",
    "/Setting/Scan/FileSourceName": "String",
    "/Setting/Scan/LiveInSourceName": "String",
    "/Setting/Shuffle": "bool",
    "/Setting/SnapShot/Path": "String",
    "/Setting/SourceFontDir": "String",
    "/Setting/TimeShifting/BufferSize": "DWORD",
    "/Setting/TimeShifting/Path": "String",
    "/Setting/UseJapaneseFont": "bool",
    "/Setting/Video/DisplayMode": "DWORD",
    "/Setting/Video/InterlaceMode": "DWORD",
    "/Setting/Video/Contrast": "DWORD",
    "/Setting/Video/Brightness": "DWORD",
    "/Setting/Video/Hue": "DWORD",
    "/Setting/Video/Saturation": "DWORD",
    "/Setting/Video/Gamma": "DWORD",
    "/Setting/Volume": "DWORD",
}

# Factory values that have to lie in the range their users accept.
RANGES = {
    "/Setting/Audio/ChannelMode": (0, 2),         # 0 stereo, 1 left, 2 right
    "/Setting/Audio/EQMode": (0, 14),             # equaliser preset
    "/Setting/Brightness/DayBrightness": (0, 100),
    "/Setting/Brightness/NightBrightness": (0, 100),
    "/Setting/ChannelType": (0, 2),               # all, TV, radio
    "/Setting/General/Repeat": (0, 2),
    "/Setting/General/Subtitle": (0, 2),          # off, subtitle 1, subtitle 2
    "/Setting/General/SyncTime": (0, 1),
    "/Setting/LastSkin": (0, 0),                  # the first installed skin
    "/Setting/Mute": (0, 1),
    "/Setting/PVR/DiskLimitSize": (10, 65535),    # MB
    "/Setting/PVR/EncryptionMode": (0, 1),
    "/Setting/PVR/FileLimitSize": (1, 4095),      # MB; one file stays below 4 GB
    "/Setting/Scan/BandWidth": (0, 2),            # index of 8, 7, 6 MHz
    "/Setting/TimeShifting/BufferSize": (1, 1200),  # seconds
    "/Setting/Video/DisplayMode": (0, 2),         # stretched, letterbox, cropped
    "/Setting/Video/Contrast": (0, 100),          # percent
    "/Setting/Video/Brightness": (0, 100),
    "/Setting/Video/Saturation": (0, 100),
    "/Setting/Video/Hue": (0, 255),
    "/Setting/Video/Gamma": (0, 255),
    "/Setting/Volume": (0, 100),
}

SCAN_STANDARDS = ("ISDBT", "CMMB", "DTMB", "DVBT")

# Every language the string table ships, and the key naming each language.
LCIDS = {
    1033: "/LanguageName/English",
    1041: "/LanguageName/Japanese",
    1046: "/LanguageName/Portuguese",
    1034: "/LanguageName/Spanish",
    2052: "/LanguageName/SimplifiedChinese",
    1028: "/LanguageName/TranditionalChinese",
}

# Longest text a dialog or label of the 800 x 480 screen is given.
MAX_TEXT = 120

DWORD_RE = re.compile(r"^(0|[1-9][0-9]*)$")


class Report:
    def __init__(self):
        self.problems = []

    def add(self, where, message):
        self.problems.append("%s: %s" % (where, message))


def parse(path, report):
    try:
        return ET.parse(path).getroot()
    except (OSError, ET.ParseError) as e:
        report.add(os.path.basename(path), "cannot be read: %s" % e)
        return None


def text_of(elem):
    return elem.text or ""


def check_value(path, kind, text, report):
    """Whether text is a valid stored form of kind; reports it when not."""
    where = "Setting.xml " + path
    if kind == "bool":
        if text not in ("true", "false"):
            report.add(where, "bool text %r is neither 'true' nor 'false'" % text)
    elif kind == "DWORD":
        if not DWORD_RE.match(text) or int(text) > 0xFFFFFFFF:
            report.add(where, "DWORD text %r is not an unsigned 32-bit decimal" % text)
    elif kind == "String":
        pass
    else:
        report.add(where, "unknown Type %r" % kind)


def setting_values(root, report):
    """Walks the settings tree: {path: (type, text)} for every value element."""
    values = {}

    def walk(elem, prefix):
        for child in elem:
            if not isinstance(child.tag, str):
                continue  # comments and processing instructions
            path = prefix + "/" + child.tag
            kind = child.get("Type")
            if kind is None:
                if len(child) == 0:
                    report.add("Setting.xml " + path, "element has neither a Type nor children")
                elif text_of(child).strip():
                    report.add("Setting.xml " + path, "group element holds text")
                walk(child, path)
                continue
            if len(child) != 0:
                report.add("Setting.xml " + path, "value element has child elements")
            if path in values:
                report.add("Setting.xml " + path, "appears twice (only the first is ever read)")
                continue
            values[path] = (kind, text_of(child))

    walk(root, "")
    return values


def check_settings(data_dir, report):
    root = parse(os.path.join(data_dir, "Setting.xml"), report)
    if root is None:
        return 0
    if root.tag.lower() != "setting":
        report.add("Setting.xml", "root element is %r, not 'Setting'" % root.tag)
        return 0
    if root.find("ResidentFlashPath") is not None:
        report.add("Setting.xml", "ships a ResidentFlashPath; the device root must apply")
    values = setting_values(root, report)
    for path, (kind, text) in values.items():
        check_value(path, kind, text, report)
    for path, kind in SETTINGS.items():
        if path not in values:
            report.add("Setting.xml " + path, "missing")
        elif values[path][0] != kind:
            report.add("Setting.xml " + path, "Type is %r, the programs use %r" % (values[path][0], kind))
    for path in values:
        if path not in SETTINGS:
            report.add("Setting.xml " + path, "not a setting of the programs")

    def number(path):
        kind, text = values.get(path, ("", ""))
        return int(text) if kind == "DWORD" and DWORD_RE.match(text) else None

    for path, (low, high) in RANGES.items():
        n = number(path)
        if n is not None and not low <= n <= high:
            report.add("Setting.xml " + path, "%d is outside %d..%d" % (n, low, high))
    for standard in SCAN_STANDARDS:
        start = number("/Setting/Scan/StartFreq/" + standard)
        end = number("/Setting/Scan/EndFreq/" + standard)
        if start is not None and end is not None and not 0 < start < end:
            report.add("Setting.xml scan range " + standard, "start %d kHz is not below end %d kHz" % (start, end))
    if values.get("/Setting/ParentControl/Password", ("", ""))[1] != "":
        report.add("Setting.xml /Setting/ParentControl/Password", "a factory password must not be shipped")
    return len(values)


def string_leaves(locale, report, lcid):
    """{key: text} of every text element below a Locale element."""
    leaves = {}

    def walk(elem, prefix):
        for child in elem:
            if not isinstance(child.tag, str):
                continue
            key = prefix + "/" + child.tag
            if len(child) == 0:
                if key in leaves:
                    report.add("String.xml %d %s" % (lcid, key), "appears twice")
                    continue
                leaves[key] = text_of(child)
            else:
                if text_of(child).strip():
                    report.add("String.xml %d %s" % (lcid, key), "group element holds text")
                walk(child, key)

    walk(locale, "")
    return leaves


def check_strings(data_dir, report):
    path = os.path.join(data_dir, "String.xml")
    root = parse(path, report)
    if root is None:
        return 0, 0
    if root.tag.lower() != "string":
        report.add("String.xml", "root element is %r, not 'String'" % root.tag)
        return 0, 0
    tables = {}
    for locale in root:
        if not isinstance(locale.tag, str) or locale.tag.lower() != "locale":
            continue
        raw = locale.get("LCID")
        if raw is None or not re.match(r"^[0-9]+$", raw):
            report.add("String.xml", "Locale with LCID %r" % raw)
            continue
        lcid = int(raw)
        if lcid in tables:
            report.add("String.xml %d" % lcid, "Locale appears twice")
            continue
        tables[lcid] = string_leaves(locale, report, lcid)
    for lcid in LCIDS:
        if lcid not in tables:
            report.add("String.xml %d" % lcid, "Locale missing")
    for lcid in tables:
        if lcid not in LCIDS:
            report.add("String.xml %d" % lcid, "Locale of a language without a name key")
    if not tables:
        return 0, 0

    # Every Locale must hold every key that any Locale holds.
    all_keys = set().union(*tables.values())
    reference = tables.get(1033) or next(iter(tables.values()))
    for lcid, table in tables.items():
        for key in sorted(all_keys - set(table)):
            report.add("String.xml %d %s" % (lcid, key), "missing")
        for key, text in table.items():
            if not text.strip():
                report.add("String.xml %d %s" % (lcid, key), "empty text (the key itself would be shown)")
            elif len(text) > MAX_TEXT:
                report.add("String.xml %d %s" % (lcid, key), "%d characters, longer than %d" % (len(text), MAX_TEXT))
        name_key = LCIDS.get(lcid)
        if name_key and lcid != 1033 and name_key in table and table[name_key] == reference.get(name_key):
            report.add("String.xml %d %s" % (lcid, name_key), "the language is not named in its own language")

    try:
        with open(path, encoding="utf-8") as f:
            shipped = f.read()
        if shipped != gen_strings.render():
            report.add("String.xml", "differs from what gen_strings.py generates; run it and commit the result")
    except (OSError, UnicodeDecodeError, ValueError) as e:
        report.add("String.xml", "cannot be compared with the generator: %s" % e)
    return len(all_keys), len(tables)


def check_playlist(data_dir, report):
    root = parse(os.path.join(data_dir, "Playlist.xml"), report)
    if root is None:
        return
    if root.tag.lower() != "playlist":
        report.add("Playlist.xml", "root element is %r, not 'Playlist'" % root.tag)
        return
    names = [e.get("name") for e in root if isinstance(e.tag, str) and e.tag == "list"]
    if not any(n is not None and n.lower() == "current playing" for n in names):
        report.add("Playlist.xml", "no list named 'Current Playing'")


def main(argv):
    data_dir = argv[0] if argv else os.path.dirname(HERE)
    report = Report()
    settings = check_settings(data_dir, report)
    keys, locales = check_strings(data_dir, report)
    check_playlist(data_dir, report)
    for problem in report.problems:
        print("FAIL " + problem)
    if report.problems:
        print("%d problem(s) in %s" % (len(report.problems), data_dir))
        return 1
    print("data OK: %d settings, %d string keys in %d languages, Playlist.xml" % (settings, keys, locales))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
