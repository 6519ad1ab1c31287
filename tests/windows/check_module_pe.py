#!/usr/bin/env python3
"""Checks a built Selvo.flt without running it: the PE kind, its four plain
exports, that it needs no compiler runtime DLLs, and its string table and
version resource (read back with the mingw binutils)."""
import argparse
import re
import subprocess
import sys

FORMATS = {"i686": "pei-i386", "x86_64": "pei-x86-64"}
EXPORTS = ["LibClassDesc", "LibDescription", "LibNumberClasses", "LibVersion"]
ALLOWED_IMPORTS = {"selvosdk.dll", "kernel32.dll", "msvcrt.dll", "user32.dll",
                   "gdi32.dll", "comdlg32.dll"}
IMAGE_FILE_DLL = 0x2000
STRINGS = {1: "Selvo Renderer", 2: "Image Filter", 3: "Selvo Renderer",
           5: "Selvo Palette Renderer"}
VERSION_LINES = [
    "FILEVERSION 1, 0, 0, 0",
    "PRODUCTVERSION 1, 1, 0, 0",
    "FILEOS 0x4",
    "FILETYPE 0x2",
    'BLOCK "040904b0"',
    'VALUE "Comments", "Selvo Renderer (plugin)"',
    'VALUE "FileDescription", "Selvo"',
    'VALUE "FileVersion", "1, 0, 0, 0"',
    'VALUE "InternalName", "Selvo"',
    'VALUE "OriginalFilename", "Selvo.flt"',
    'VALUE "ProductName", "Selvo Palette Renderer for 3DSMAX R4"',
    'VALUE "ProductVersion", "1, 1, 0, 0"',
    'VALUE "Translation", 0x409, 1200',
]


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--windres", required=True)
    parser.add_argument("--arch", required=True, choices=FORMATS)
    parser.add_argument("module")
    args = parser.parse_args()
    failures = []

    headers = run(args.objdump, "-p", args.module)
    if f"file format {FORMATS[args.arch]}" not in headers:
        failures.append(f"not a {FORMATS[args.arch]} image")
    characteristics = re.search(r"^Characteristics\s+0x([0-9a-fA-F]+)", headers, re.M)
    if not characteristics or not int(characteristics.group(1), 16) & IMAGE_FILE_DLL:
        failures.append("not marked as a DLL")

    names = re.search(r"^\[Ordinal/Name Pointer\] Table\n((?:\s+\[.*\n)*)", headers, re.M)
    exports = re.findall(r"\]\s+(\w+)", names.group(1)) if names else []
    if sorted(exports) != EXPORTS:
        failures.append(f"exports are {sorted(exports)}, expected {EXPORTS}")

    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
    if not imports <= ALLOWED_IMPORTS:
        failures.append(f"imports unexpected DLLs: {sorted(imports - ALLOWED_IMPORTS)}")

    try:
        resources = run(args.windres, "-i", args.module, "-O", "rc")
    except subprocess.CalledProcessError as error:
        resources = ""
        failures.append(f"no resources readable: {error.stderr.strip()}")
    for number, text in STRINGS.items():
        if f'  {number}, "{text}"' not in resources:
            failures.append(f"string {number} is not {text!r}")
    if re.search(r'^\s+4, ', resources, re.M):
        failures.append("string 4 should not exist")
    for line in VERSION_LINES:
        if not re.search(r"^\s*" + re.escape(line) + r"\s*$", resources, re.M):
            failures.append(f"version resource lacks: {line}")

    for failure in failures:
        print(f"{args.module}: {failure}")
    if not failures:
        print(f"{args.module}: {FORMATS[args.arch]} DLL, exports {', '.join(exports)}, "
              f"imports {', '.join(sorted(imports))}, strings and version resource as required")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
