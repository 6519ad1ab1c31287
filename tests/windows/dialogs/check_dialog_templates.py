#!/usr/bin/env python3
"""Checks the dialog templates 101 (about box) and 102 (setup dialog) of a
built Selvo.flt, read back from its resources with the mingw windres, by the
relations their layout keeps rather than control by control:

- each is the modal dialog the host opens, under its title and font;
- control ids are unique, and every control lies inside its dialog;
- no two controls overlap, and none crosses the edge of a frame (group box);
- each spinner sits against the right edge of the edit it drives;
- the tab stops run from the default button and Cancel on, then column by
  column, each top to bottom and left to right;
- the ids and texts that the host and the settings block rely on are there:
  OK and Cancel, the two radio pairs whose ids are stored as settings, one
  row per ID, and the about box's title (with the project's version) and
  picture.

usage: check_dialog_templates.py --windres WINDRES --version VERSION MODULE"""
import argparse
import codecs
import re
import subprocess
import sys
from collections import namedtuple

# Window and control styles, as the Windows headers define them.
WS_POPUP, WS_CAPTION, WS_SYSMENU = 0x80000000, 0x00C00000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_MODALFRAME = 0x80
BS_TYPE_MASK, BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0xF, 0x0, 0x1
BS_AUTOCHECKBOX, BS_GROUPBOX, BS_AUTORADIOBUTTON = 0x3, 0x7, 0x9
SS_TYPE_MASK, SS_BITMAP = 0x1F, 0xE
IDOK, IDCANCEL = 1, 2
MODAL = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU

# What the host shows: each template's kind, title and font.
TEMPLATES = {
    101: ("DIALOGEX", "About Selvo Filter"),
    102: ("DIALOG", "Selvo Palette Renderer Control"),
}
FONT = (8, "MS Sans Serif")
ID_COUNT = 16           # the settings block's ranges, one row each
RADIO_PAIRS = [(1001, 1002), (1023, 1024)]  # stored in the block as they are
ABOUT_PICTURE = 103

Control = namedtuple("Control", "id cls text style x y w h exstyle")

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


def control(kind, fields):
    """A CONTROL line's values (text, id, class, style, x, y, w, h, and an
    extended style) as a Control; no id (IDC_STATIC) reads as None."""
    mask = 0xFFFF if kind == "DIALOG" else 0xFFFFFFFF  # DIALOG ids are 16 bits
    control_id = fields[1] & mask
    exstyle = fields[8] if len(fields) > 8 else 0
    return Control(None if control_id == mask else control_id, str(fields[2]).lower(),
                   fields[0], fields[3], *fields[4:8], exstyle)


def read_templates(rc_text):
    """{id: template} of the DIALOG and DIALOGEX resources in windres' rc
    output: kind, rectangle, style, caption, font, controls and any other
    statement."""
    templates = {}
    lines = iter(rc_text.splitlines())
    for line in lines:
        head = re.match(r"^(\d+) (DIALOGEX|DIALOG) (.*)$", line)
        if not head:
            continue
        kind = head.group(2)
        template = dict(kind=kind, rect=tuple(values(head.group(3))[:4]), style=0,
                        caption=None, font=None, controls=[], other=[])
        for line in lines:
            key, _, rest = line.strip().partition(" ")
            if key == "BEGIN":
                break
            if key == "STYLE":
                template["style"] = int(rest, 0)
            elif key == "CAPTION":
                template["caption"] = values(rest)[0]
            elif key == "FONT":
                template["font"] = tuple(values(rest)[:2])
            elif key != "EXSTYLE" or int(rest, 0) != 0:
                template["other"].append(line.strip())
        for line in lines:
            line = line.strip()
            if line == "END":
                break
            if line.startswith("CONTROL "):
                template["controls"].append(control(kind, values(line[len("CONTROL "):])))
            else:
                template["other"].append(line)
        templates[int(head.group(1))] = template
    return templates


def button_type(c):
    return c.style & BS_TYPE_MASK if c.cls == "button" else None


def is_frame(c):
    return button_type(c) == BS_GROUPBOX


def inside(inner, outer):
    return (outer.x <= inner.x and inner.x + inner.w <= outer.x + outer.w and
            outer.y <= inner.y and inner.y + inner.h <= outer.y + outer.h)


def overlap(a, b):
    return a.x < b.x + b.w and b.x < a.x + a.w and a.y < b.y + b.h and b.y < a.y + a.h


def name(c):
    return f"control {c.id}" if c.id is not None else f"{c.cls} {c.text!r} at {c.x}, {c.y}"


def layout_problems(template):
    """Unique ids, controls inside the dialog, no overlaps, frames whole."""
    controls = template["controls"]
    problems = []
    ids = [c.id for c in controls if c.id is not None]
    problems += [f"id {i} is used {ids.count(i)} times" for i in sorted(set(ids))
                 if ids.count(i) > 1]
    _, _, width, height = template["rect"]
    dialog = Control(None, "", "", 0, 0, 0, width, height, 0)
    problems += [f"{name(c)} reaches outside the dialog" for c in controls
                 if not inside(c, dialog)]
    for i, a in enumerate(controls):
        for b in controls[i + 1:]:
            if not overlap(a, b):
                continue
            if is_frame(a) or is_frame(b):
                if not (inside(a, b) or inside(b, a)):
                    problems.append(f"{name(a)} and {name(b)} cross a frame's edge")
            else:
                problems.append(f"{name(a)} overlaps {name(b)}")
    return problems


def column(c, frames):
    """The left edge of the outermost frame holding `c`: its column."""
    holders = [f for f in frames if f is not c and inside(c, f)]
    return min((f.x for f in holders), default=c.x)


def tab_order_problems(controls):
    """The default button and Cancel first, then column by column, top to
    bottom and left to right: template order is the tab order."""
    stops = [c for c in controls if c.style & WS_TABSTOP]
    frames = [c for c in controls if is_frame(c)]
    first = [c for c in stops if button_type(c) == BS_DEFPUSHBUTTON]
    first += [c for c in stops if c.id == IDCANCEL]
    rest = sorted((c for c in stops if c not in first),
                  key=lambda c: (column(c, frames), c.y, c.x))
    for place, (got, expected) in enumerate(zip(stops, first + rest)):
        if got is not expected:
            return [f"tab stop {place + 1} is {name(got)}, expected {name(expected)}"]
    return []


def spinner_problems(controls):
    """Each spinner right after its edit, against the edit's right edge."""
    problems = []
    for before, c in zip([None] + controls, controls):
        if c.cls != "spinnercontrol":
            continue
        if (before is None or before.cls != "custedit" or before.x + before.w != c.x or
                (before.y, before.h) != (c.y, c.h)):
            problems.append(f"{name(c)} does not sit against the edit before it")
    return problems


def by_id(controls, control_id):
    return next((c for c in controls if c.id == control_id), None)


def button_problems(controls, expected):
    """`expected`: (id, button type, text) of buttons that must be there."""
    problems = []
    for control_id, kind, text in expected:
        c = by_id(controls, control_id)
        if c is None or button_type(c) != kind or c.text != text:
            problems.append(f"control {control_id} is {c}, not the {text!r} button")
    return problems


def setup_problems(controls):
    problems = button_problems(controls, [(IDOK, BS_DEFPUSHBUTTON, "OK"),
                                          (IDCANCEL, BS_PUSHBUTTON, "Cancel")])
    radios = [c for c in controls if button_type(c) == BS_AUTORADIOBUTTON]
    runs, previous = [], None
    for c in controls:
        if button_type(c) == BS_AUTORADIOBUTTON:
            if previous is None or button_type(previous) != BS_AUTORADIOBUTTON:
                runs.append([])
            runs[-1].append(c)
        previous = c
    if [tuple(c.id for c in run) for run in runs] != RADIO_PAIRS:
        problems.append(f"radio buttons {[c.id for c in radios]}, expected pairs {RADIO_PAIRS}")
    for run in runs:
        starts = [bool(c.style & WS_GROUP) for c in run]
        if starts != [True] + [False] * (len(run) - 1):
            problems.append(f"radio group {[c.id for c in run]} does not start a group once")
    # One row per ID, top to bottom: From edit and spinner, the ID's label,
    # "pick", To edit and spinner, Dither box, all on one line.
    picks = [c for c in controls if c.text == "pick"]
    if len(picks) != ID_COUNT:
        return problems + [f"{len(picks)} pick buttons, not one per ID ({ID_COUNT})"]
    kinds = ["custedit", "spinnercontrol", "static", "button", "custedit", "spinnercontrol",
             "button"]
    for n, pick in enumerate(sorted(picks, key=lambda c: c.y)):
        at = controls.index(pick) - 3
        row = controls[at:at + len(kinds)]
        label = f"{n:2d}"
        if ([c.cls for c in row] != kinds or row[2].text != label or
                button_type(row[6]) != BS_AUTOCHECKBOX or
                any(c.y != pick.y for c in row)):
            problems.append(f"the row of ID {n} is not From, spinner, {label!r}, pick, To, "
                            f"spinner, Dither on one line")
    return problems


def about_problems(controls, version):
    problems = button_problems(controls, [(IDOK, BS_DEFPUSHBUTTON, "OK")])
    major_minor = ".".join(version.split(".")[:2])
    title = f"Selvo {major_minor}\nfor 3DS MAX R4"
    if not any(c.cls == "static" and c.text == title for c in controls):
        problems.append(f"no title {title!r}")
    if not any(c.cls == "static" and c.style & SS_TYPE_MASK == SS_BITMAP and
               c.text == ABOUT_PICTURE for c in controls):
        problems.append(f"no picture of bitmap {ABOUT_PICTURE}")
    return problems


def template_problems(number, template, version):
    if template is None:
        return ["not in the module"]
    kind, caption = TEMPLATES[number]
    problems = [f"unexpected {line!r}" for line in template["other"]]
    if (template["kind"], template["caption"], template["font"]) != (kind, caption, FONT):
        problems.append(f"{template['kind']} {template['caption']!r} in {template['font']}, "
                        f"expected {kind} {caption!r} in {FONT}")
    if template["style"] & MODAL != MODAL:
        problems.append(f"style {template['style']:#x} is not a modal dialog's")
    controls = template["controls"]
    problems += layout_problems(template) + tab_order_problems(controls)
    problems += spinner_problems(controls)
    problems += setup_problems(controls) if number == 102 else about_problems(controls, version)
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--windres", required=True)
    parser.add_argument("--version", required=True, help="the project's, MAJOR.MINOR.PATCH")
    parser.add_argument("module")
    args = parser.parse_args()
    rc_text = subprocess.run([args.windres, "-i", args.module, "-O", "rc"], check=True,
                             capture_output=True, text=True).stdout
    templates = read_templates(rc_text)
    failures = [f"dialog {number}: {problem}" for number in TEMPLATES
                for problem in template_problems(number, templates.get(number), args.version)]
    for failure in failures:
        print(f"{args.module}: {failure}")
    if not failures:
        counts = ", ".join(f"{number}: {len(templates[number]['controls'])} controls"
                           for number in TEMPLATES)
        print(f"{args.module}: dialog templates keep their layout ({counts})")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
