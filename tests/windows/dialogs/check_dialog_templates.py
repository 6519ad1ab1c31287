#!/usr/bin/env python3
"""Checks the dialog templates 101 (about box) and 102 (setup dialog) of a
built Selvo.flt, read back from its resources with the mingw windres, against
the tables below: the templates' kind, rectangle, styles, caption and font,
and every control's id, class, text, style, extended style and rectangle, in
template order (which is also the tab order). The tables are the dialogs as
reviewed; an edit of res/dialogs.rc that changes what the host shows fails
here until the table is changed with it.

usage: check_dialog_templates.py --windres WINDRES --version VERSION MODULE"""
import argparse
import codecs
import re
import subprocess
import sys

# Window and control styles, as the Windows headers define them.
WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_BORDER, WS_SYSMENU = 0x00C00000, 0x00800000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
WS_EX_STATICEDGE = 0x00020000
DS_SETFONT, DS_MODALFRAME = 0x40, 0x80
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0x0, 0x1, 0x3
BS_GROUPBOX, BS_AUTORADIOBUTTON, BS_MULTILINE = 0x7, 0x9, 0x2000
SS_LEFT, SS_RIGHT, SS_BITMAP, SS_REALSIZEIMAGE = 0x0, 0x2, 0xE, 0x800
ES_AUTOHSCROLL = 0x80

# Every control of a template is a visible child (the resource compiler adds
# both to a CONTROL's style); a FONT statement adds DS_SETFONT to the
# template's.
CONTROL_BASE = WS_CHILD | WS_VISIBLE

# Each row: id (-1: none), class, text (a number: a resource id), style as
# written in the resource script, x, y, width, height in dialog units, and
# the extended style where there is one.
ABOUT_CONTROLS = [
    (1, "Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 171, 107, 66, 18),
    (-1, "Static", "Palette Rendering Image Filter\nfor Game Developer and Animator",
     SS_RIGHT | WS_GROUP, 95, 48, 131, 16),
    (-1, "Button", "", BS_GROUPBOX, 11, 7, 226, 92),
    (-1, "Static", "Written by the Selvo developers", SS_RIGHT | WS_GROUP, 116, 73, 110, 9),
    (-1, "Static", 103, SS_BITMAP | SS_REALSIZEIMAGE, 21, 20, 38, 48, WS_EX_STATICEDGE),
    (-1, "Static", "Help: see the README", SS_RIGHT | WS_GROUP, 119, 82, 107, 9),
    # The about title, with the project's major and minor version.
    (-1, "Static", "Selvo {version}\nfor 3DS MAX R4", SS_RIGHT | WS_GROUP, 110, 21, 116, 17),
]

SETUP_CONTROLS = [
    (1, "Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 124, 289, 50, 14),
    (2, "Button", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 187, 289, 50, 14),
    (1001, "Button", "Material Effects Channel", BS_AUTORADIOBUTTON | WS_GROUP, 16, 18, 95, 10),
    (1002, "Button", "Object Channel", BS_AUTORADIOBUTTON, 16, 33, 67, 10),
    (-1, "Button", "Source", BS_GROUPBOX, 7, 6, 117, 42),
    (-1, "Button", "Output PCX File", BS_GROUPBOX, 7, 52, 117, 55),
    (1005, "Edit", "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 16, 68, 99, 12),
    (1006, "Button", "Browse...", BS_PUSHBUTTON | WS_TABSTOP, 16, 85, 99, 13),
    (-1, "Button", "Color Assignment Method", BS_GROUPBOX, 7, 113, 117, 49),
    (1023, "Button", "Uniform Distribution",
     BS_AUTORADIOBUTTON | BS_MULTILINE | WS_GROUP, 16, 129, 101, 9),
    (1024, "Button", "Find Most Similar Color",
     BS_AUTORADIOBUTTON | BS_MULTILINE, 16, 145, 101, 8),
    (-1, "Button", "Rendering Palette", BS_GROUPBOX, 7, 169, 119, 112),
    (-1, "Button", "Color Range", BS_GROUPBOX, 133, 6, 122, 275),
    (-1, "Static", "ID", SS_LEFT | WS_GROUP, 141, 18, 9, 8),
    (-1, "Static", "From", SS_LEFT | WS_GROUP, 175, 18, 19, 8),
    (-1, "Static", "To", SS_LEFT | WS_GROUP, 206, 18, 10, 8),
    (-1, "Static", "Dither", SS_RIGHT | WS_GROUP, 222, 18, 28, 8),
    (1025, "Button", "Browse from PCX...", BS_PUSHBUTTON | WS_TABSTOP, 16, 182, 99, 13),
    # ID 0
    (1028, "CustEdit", "", WS_TABSTOP, 174, 30, 21, 10),
    (1048, "SpinnerControl", "", 0, 195, 30, 6, 10),
    (-1, "Static", " 0", SS_LEFT | WS_GROUP, 140, 30, 8, 9),
    (1007, "Button", "pick", BS_PUSHBUTTON, 150, 30, 20, 10),
    (1030, "CustEdit", "", WS_TABSTOP, 205, 30, 21, 10),
    (1049, "SpinnerControl", "", 0, 226, 30, 6, 10),
    (1027, "Button", "", BS_AUTOCHECKBOX, 236, 30, 8, 10),
    # ID 1
    (1031, "CustEdit", "", WS_TABSTOP, 174, 45, 21, 10),
    (1050, "SpinnerControl", "", 0, 195, 45, 6, 10),
    (-1, "Static", " 1", SS_LEFT | WS_GROUP, 140, 45, 8, 9),
    (1008, "Button", "pick", BS_PUSHBUTTON, 150, 45, 20, 10),
    (1032, "CustEdit", "", WS_TABSTOP, 205, 45, 21, 10),
    (1051, "SpinnerControl", "", 0, 226, 45, 6, 10),
    (1033, "Button", "", BS_AUTOCHECKBOX, 236, 45, 8, 10),
    # ID 2
    (1034, "CustEdit", "", WS_TABSTOP, 174, 60, 21, 10),
    (1052, "SpinnerControl", "", 0, 195, 60, 6, 10),
    (-1, "Static", " 2", SS_LEFT | WS_GROUP, 140, 60, 8, 9),
    (1009, "Button", "pick", BS_PUSHBUTTON, 150, 60, 20, 10),
    (1035, "CustEdit", "", WS_TABSTOP, 205, 60, 21, 10),
    (1053, "SpinnerControl", "", 0, 226, 60, 6, 10),
    (1036, "Button", "", BS_AUTOCHECKBOX, 236, 60, 8, 10),
    # ID 3
    (1037, "CustEdit", "", WS_TABSTOP, 174, 75, 21, 10),
    (1054, "SpinnerControl", "", 0, 195, 75, 6, 10),
    (-1, "Static", " 3", SS_LEFT | WS_GROUP, 140, 75, 8, 9),
    (1010, "Button", "pick", BS_PUSHBUTTON, 150, 75, 20, 10),
    (1038, "CustEdit", "", WS_TABSTOP, 205, 75, 21, 10),
    (1055, "SpinnerControl", "", 0, 226, 75, 6, 10),
    (1039, "Button", "", BS_AUTOCHECKBOX, 236, 75, 8, 10),
    # ID 4
    (1040, "CustEdit", "", WS_TABSTOP, 174, 90, 21, 10),
    (1056, "SpinnerControl", "", 0, 195, 90, 6, 10),
    (-1, "Static", " 4", SS_LEFT | WS_GROUP, 140, 90, 8, 9),
    (1011, "Button", "pick", BS_PUSHBUTTON, 150, 90, 20, 10),
    (1041, "CustEdit", "", WS_TABSTOP, 205, 90, 21, 10),
    (1057, "SpinnerControl", "", 0, 226, 90, 6, 10),
    (1042, "Button", "", BS_AUTOCHECKBOX, 236, 90, 8, 10),
    # ID 5
    (1043, "CustEdit", "", WS_TABSTOP, 174, 105, 21, 10),
    (1058, "SpinnerControl", "", 0, 195, 105, 6, 10),
    (-1, "Static", " 5", SS_LEFT | WS_GROUP, 140, 105, 8, 9),
    (1012, "Button", "pick", BS_PUSHBUTTON, 150, 105, 20, 10),
    (1044, "CustEdit", "", WS_TABSTOP, 205, 105, 21, 10),
    (1059, "SpinnerControl", "", 0, 226, 105, 6, 10),
    (1045, "Button", "", BS_AUTOCHECKBOX, 236, 105, 8, 10),
    # ID 6
    (1046, "CustEdit", "", WS_TABSTOP, 174, 120, 21, 10),
    (1060, "SpinnerControl", "", 0, 195, 120, 6, 10),
    (-1, "Static", " 6", SS_LEFT | WS_GROUP, 140, 120, 8, 9),
    (1013, "Button", "pick", BS_PUSHBUTTON, 150, 120, 20, 10),
    (1047, "CustEdit", "", WS_TABSTOP, 205, 120, 21, 10),
    (1061, "SpinnerControl", "", 0, 226, 120, 6, 10),
    (1062, "Button", "", BS_AUTOCHECKBOX, 236, 120, 8, 10),
    # ID 7
    (1063, "CustEdit", "", WS_TABSTOP, 174, 135, 21, 10),
    (1064, "SpinnerControl", "", 0, 195, 135, 6, 10),
    (-1, "Static", " 7", SS_LEFT | WS_GROUP, 140, 135, 8, 9),
    (1014, "Button", "pick", BS_PUSHBUTTON, 150, 135, 20, 10),
    (1065, "CustEdit", "", WS_TABSTOP, 205, 135, 21, 10),
    (1066, "SpinnerControl", "", 0, 226, 135, 6, 10),
    (1067, "Button", "", BS_AUTOCHECKBOX, 236, 135, 8, 10),
    # ID 8
    (1068, "CustEdit", "", WS_TABSTOP, 174, 150, 21, 10),
    (1069, "SpinnerControl", "", 0, 195, 150, 6, 10),
    (-1, "Static", " 8", SS_LEFT | WS_GROUP, 140, 150, 8, 9),
    (1015, "Button", "pick", BS_PUSHBUTTON, 150, 150, 20, 10),
    (1070, "CustEdit", "", WS_TABSTOP, 205, 150, 21, 10),
    (1071, "SpinnerControl", "", 0, 226, 150, 6, 10),
    (1072, "Button", "", BS_AUTOCHECKBOX, 236, 150, 8, 10),
    # ID 9
    (1073, "CustEdit", "", WS_TABSTOP, 174, 165, 21, 10),
    (1074, "SpinnerControl", "", 0, 195, 165, 6, 10),
    (-1, "Static", " 9", SS_LEFT | WS_GROUP, 140, 165, 8, 9),
    (1016, "Button", "pick", BS_PUSHBUTTON, 150, 165, 20, 10),
    (1075, "CustEdit", "", WS_TABSTOP, 205, 165, 21, 10),
    (1076, "SpinnerControl", "", 0, 226, 165, 6, 10),
    (1077, "Button", "", BS_AUTOCHECKBOX, 236, 165, 8, 10),
    # ID 10
    (1078, "CustEdit", "", WS_TABSTOP, 174, 180, 21, 10),
    (1079, "SpinnerControl", "", 0, 195, 180, 6, 10),
    (-1, "Static", "10", SS_LEFT | WS_GROUP, 140, 180, 8, 9),
    (1017, "Button", "pick", BS_PUSHBUTTON, 150, 180, 20, 10),
    (1080, "CustEdit", "", WS_TABSTOP, 205, 180, 21, 10),
    (1081, "SpinnerControl", "", 0, 226, 180, 6, 10),
    (1082, "Button", "", BS_AUTOCHECKBOX, 236, 180, 8, 10),
    # ID 11
    (1083, "CustEdit", "", WS_TABSTOP, 174, 195, 21, 10),
    (1084, "SpinnerControl", "", 0, 195, 195, 6, 10),
    (-1, "Static", "11", SS_LEFT | WS_GROUP, 140, 195, 8, 9),
    (1018, "Button", "pick", BS_PUSHBUTTON, 150, 195, 20, 10),
    (1085, "CustEdit", "", WS_TABSTOP, 205, 195, 21, 10),
    (1086, "SpinnerControl", "", 0, 226, 195, 6, 10),
    (1087, "Button", "", BS_AUTOCHECKBOX, 236, 195, 8, 10),
    # ID 12
    (1088, "CustEdit", "", WS_TABSTOP, 174, 210, 21, 10),
    (1089, "SpinnerControl", "", 0, 195, 210, 6, 10),
    (-1, "Static", "12", SS_LEFT | WS_GROUP, 140, 210, 8, 9),
    (1019, "Button", "pick", BS_PUSHBUTTON, 150, 210, 20, 10),
    (1090, "CustEdit", "", WS_TABSTOP, 205, 210, 21, 10),
    (1091, "SpinnerControl", "", 0, 226, 210, 6, 10),
    (1092, "Button", "", BS_AUTOCHECKBOX, 236, 210, 8, 10),
    # ID 13
    (1093, "CustEdit", "", WS_TABSTOP, 174, 225, 21, 10),
    (1094, "SpinnerControl", "", 0, 195, 225, 6, 10),
    (-1, "Static", "13", SS_LEFT | WS_GROUP, 140, 225, 8, 9),
    (1020, "Button", "pick", BS_PUSHBUTTON, 150, 225, 20, 10),
    (1095, "CustEdit", "", WS_TABSTOP, 205, 225, 21, 10),
    (1096, "SpinnerControl", "", 0, 226, 225, 6, 10),
    (1097, "Button", "", BS_AUTOCHECKBOX, 236, 225, 8, 10),
    # ID 14
    (1098, "CustEdit", "", WS_TABSTOP, 174, 240, 21, 10),
    (1099, "SpinnerControl", "", 0, 195, 240, 6, 10),
    (-1, "Static", "14", SS_LEFT | WS_GROUP, 140, 240, 8, 9),
    (1021, "Button", "pick", BS_PUSHBUTTON, 150, 240, 20, 10),
    (1100, "CustEdit", "", WS_TABSTOP, 205, 240, 21, 10),
    (1101, "SpinnerControl", "", 0, 226, 240, 6, 10),
    (1102, "Button", "", BS_AUTOCHECKBOX, 236, 240, 8, 10),
    # ID 15
    (1103, "CustEdit", "", WS_TABSTOP, 174, 255, 21, 10),
    (1104, "SpinnerControl", "", 0, 195, 255, 6, 10),
    (-1, "Static", "15", SS_LEFT | WS_GROUP, 140, 255, 8, 9),
    (1022, "Button", "pick", BS_PUSHBUTTON, 150, 255, 20, 10),
    (1105, "CustEdit", "", WS_TABSTOP, 205, 255, 21, 10),
    (1106, "SpinnerControl", "", 0, 226, 255, 6, 10),
    (1107, "Button", "", BS_AUTOCHECKBOX, 236, 255, 8, 10),
]

# Each template: kind, rectangle, style, extended style, caption and font
# (point size, face, and for DIALOGEX weight, italic, character set).
TEMPLATES = {
    101: dict(kind="DIALOGEX", rect=(0, 0, 247, 133),
              style=DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
              exstyle=0, caption="About Selvo Filter", font=(8, "MS Sans Serif", 0, 0, 1),
              controls=ABOUT_CONTROLS),
    102: dict(kind="DIALOG", rect=(0, 0, 263, 310),
              style=DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
              exstyle=0, caption="Selvo Palette Renderer Control", font=(8, "MS Sans Serif"),
              controls=SETUP_CONTROLS),
}

VALUE = re.compile(r'"(?:[^"\\]|\\.)*"|[^,\s][^,]*')


def values(text):
    """The comma-separated values of a line of windres output: quoted texts
    decoded, numbers as numbers."""
    result = []
    for token in VALUE.findall(text):
        token = token.strip()
        if token.startswith('"'):
            result.append(codecs.decode(token[1:-1], "unicode_escape"))
        else:
            result.append(int(token, 0))
    return result


def read_templates(rc_text):
    """{id: template} of the DIALOG and DIALOGEX resources in windres' rc
    output, in the form of TEMPLATES."""
    templates = {}
    lines = iter(rc_text.splitlines())
    for line in lines:
        head = re.match(r"^(\d+) (DIALOGEX|DIALOG) (.*)$", line)
        if not head:
            continue
        numbers = values(head.group(3))
        template = dict(kind=head.group(2), rect=tuple(numbers[:4]), style=0, exstyle=0,
                        caption=None, font=None, controls=[], other=[])
        if numbers[4:]:
            template["other"].append(f"help id {numbers[4]}")
        for line in lines:
            key, _, rest = line.strip().partition(" ")
            if key == "BEGIN":
                break
            if key in ("STYLE", "EXSTYLE"):
                template[key.lower()] = int(rest, 0)
            elif key == "CAPTION":
                template["caption"] = values(rest)[0]
            elif key == "FONT":
                font = values(rest)
                if template["kind"] == "DIALOGEX" and len(font) == 2:
                    font += [0, 0, 1]  # windres leaves out the usual weight, italic, charset
                template["font"] = tuple(font)
            else:
                template["other"].append(line.strip())
        for line in lines:
            line = line.strip()
            if line == "END":
                break
            if line.startswith("CONTROL "):
                template["controls"].append(values(line[len("CONTROL "):]))
            else:
                template["other"].append(line)
        templates[int(head.group(1))] = template
    return templates


def control_differences(kind, expected_rows, controls):
    """One line per control that differs from its row, in template order."""
    id_mask = 0xFFFF if kind == "DIALOG" else 0xFFFFFFFF  # DIALOG ids are 16 bits
    differences = []
    for index in range(max(len(expected_rows), len(controls))):
        if index >= len(controls):
            differences.append(f"control {index}: missing, expected {expected_rows[index]}")
            continue
        if index >= len(expected_rows):
            differences.append(f"control {index}: {controls[index]} is not in the table")
            continue
        row = expected_rows[index]
        control_id, class_name, text, style, x, y, width, height = row[:8]
        exstyle = row[8] if len(row) > 8 else 0
        expected = (control_id & id_mask, class_name.upper(), text, style | CONTROL_BASE,
                    (x, y, width, height), exstyle, 0)
        got = controls[index]
        extra = got[8:] + [0, 0]
        # Window classes are found whatever their case; the resource compiler
        # stores class names in capitals.
        actual = (got[1] & id_mask, str(got[2]).upper(), got[0], got[3], tuple(got[4:8]),
                  extra[0], extra[1])
        if actual != expected:
            fields = ("id", "class", "text", "style", "rectangle", "extended style", "help id")
            shown = [hex if "style" in name else repr for name in fields]
            wrong = [f"{name} {show(a)} (expected {show(e)})"
                     for name, show, a, e in zip(fields, shown, actual, expected) if a != e]
            differences.append(f"control {index} (id {control_id}): " + ", ".join(wrong))
    return differences


def template_differences(number, expected, actual):
    if actual is None:
        return [f"dialog {number}: not in the module"]
    differences = []
    for field in ("kind", "rect", "style", "exstyle", "caption", "font"):
        if actual[field] != expected[field]:
            shown = hex if field in ("style", "exstyle") else repr
            differences.append(f"dialog {number}: {field} {shown(actual[field])}, "
                               f"expected {shown(expected[field])}")
    differences += [f"dialog {number}: unexpected {line!r}" for line in actual["other"]]
    differences += [f"dialog {number}: {line}" for line in
                    control_differences(expected["kind"], expected["controls"],
                                        actual["controls"])]
    return differences


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--windres", required=True)
    parser.add_argument("--version", required=True, help="the project's, MAJOR.MINOR.PATCH")
    parser.add_argument("module")
    args = parser.parse_args()
    major_minor = ".".join(args.version.split(".")[:2])
    ABOUT_CONTROLS[:] = [row[:2] + (row[2].format(version=major_minor),) + row[3:]
                         if isinstance(row[2], str) else row for row in ABOUT_CONTROLS]
    rc_text = subprocess.run([args.windres, "-i", args.module, "-O", "rc"], check=True,
                             capture_output=True, text=True).stdout
    templates = read_templates(rc_text)
    failures = []
    for number, expected in TEMPLATES.items():
        failures += template_differences(number, expected, templates.get(number))
    for failure in failures:
        print(f"{args.module}: {failure}")
    if not failures:
        counts = ", ".join(f"{number}: {len(t['controls'])} controls"
                           for number, t in TEMPLATES.items())
        print(f"{args.module}: dialog templates as reviewed ({counts})")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
