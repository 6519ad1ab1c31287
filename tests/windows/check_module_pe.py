#!/usr/bin/env python3
"""Checks a built Selvo.flt without running it, for what running the x86_64
build under Wine cannot show:
- it is a DLL of its own architecture;
- it exports, by plain name, exactly the functions the stand-in host looks up;
- it imports no DLL that the mingw-w64 toolchain ships (its compiler
  runtime), since a user's Windows has none of them;
- given --reference, a module that the Wine tests run (the x86_64 build): it
  imports the same DLLs and carries the same resources, so that the i686
  deliverable has the strings, version record, dialogs and picture that the
  Wine tests read from the reference.
Tools are the mingw-w64 binutils of each module's architecture."""
import argparse
import os
import re
import subprocess
import sys

# objdump's names of the two architectures' image formats.
FORMATS = {"i686": "pei-i386", "x86_64": "pei-x86-64"}
IMAGE_FILE_DLL = 0x2000  # the PE header's characteristic of a DLL

# How the stand-in host resolves each export: Find(module, "Name", ...).
HOST_LOOKUP = re.compile(r'\bFind\(\s*module\s*,\s*"(\w+)"')


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


class Module:
    """What objdump and windres read from one built module."""

    def __init__(self, path, objdump, windres):
        self.path = path
        self.headers = run(objdump, "-p", path)
        self.windres = windres

    def format_is(self, name):
        return f"file format {name}" in self.headers

    def is_dll(self):
        found = re.search(r"^Characteristics\s+0x([0-9a-fA-F]+)", self.headers, re.M)
        return bool(found) and int(found.group(1), 16) & IMAGE_FILE_DLL != 0

    def exports(self):
        table = re.search(r"^\[Ordinal/Name Pointer\] Table\n((?:\s+\[.*\n)*)",
                          self.headers, re.M)
        return sorted(re.findall(r"\]\s+(\S+)", table.group(1))) if table else []

    def imports(self):
        return sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", self.headers)})

    def resources(self):
        """The resources decoded as a resource script; raises when unreadable."""
        return run(self.windres, "-i", self.path, "-O", "rc")


def host_lookups(source):
    with open(source, encoding="utf-8") as f:
        return sorted(HOST_LOOKUP.findall(f.read()))


def shipped_by_toolchain(compiler, dll):
    """True when the cross compiler finds a file of that name among its own
    libraries: a runtime DLL that would have to be shipped with the module."""
    found = run(compiler, f"-print-file-name={dll}").strip()
    return os.path.isabs(found) and os.path.exists(found)


def first_difference(mine, theirs):
    for number, (a, b) in enumerate(zip(mine.splitlines(), theirs.splitlines()), 1):
        if a != b:
            return f"line {number}: {a.strip()!r} against {b.strip()!r}"
    return "one ends early"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", required=True, choices=FORMATS)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--windres", required=True)
    parser.add_argument("--compiler", required=True, help="the cross compiler of --arch")
    parser.add_argument("--host-lookups", required=True,
                        help="the stand-in host's source that resolves the exports")
    parser.add_argument("--reference", help="a module of the same source that runs under Wine")
    parser.add_argument("--reference-objdump")
    parser.add_argument("--reference-windres")
    parser.add_argument("module")
    args = parser.parse_args()
    failures = []
    module = Module(args.module, args.objdump, args.windres)

    if not module.format_is(FORMATS[args.arch]):
        failures.append(f"not a {FORMATS[args.arch]} image")
    if not module.is_dll():
        failures.append("not marked as a DLL")

    wanted = host_lookups(args.host_lookups)
    if not wanted:
        failures.append(f"found no export lookups in {args.host_lookups}")
    elif module.exports() != wanted:
        failures.append(f"exports {module.exports()}, the host looks up {wanted}")

    runtime = [dll for dll in module.imports() if shipped_by_toolchain(args.compiler, dll)]
    if runtime:
        failures.append(f"imports compiler runtime DLLs: {runtime}")

    if args.reference:
        reference = Module(args.reference, args.reference_objdump, args.reference_windres)
        if module.imports() != reference.imports():
            failures.append(f"imports {module.imports()}, the reference {reference.imports()}")
        try:
            mine, theirs = module.resources(), reference.resources()
            if mine != theirs:
                failures.append("resources differ from the reference's, "
                                + first_difference(mine, theirs))
        except subprocess.CalledProcessError as error:
            failures.append(f"resources unreadable: {error.stderr.strip()}")

    for failure in failures:
        print(f"{args.module}: {failure}")
    if not failures:
        same = f", resources as {args.reference}" if args.reference else ""
        print(f"{args.module}: {FORMATS[args.arch]} DLL, exports {', '.join(wanted)}, "
              f"imports {', '.join(module.imports())}{same}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
