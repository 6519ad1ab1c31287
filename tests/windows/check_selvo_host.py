#!/usr/bin/env python3
"""Drives selvo-host.exe under Wine as a user would and checks what it
prints and writes. Runs in the current folder, which CTest makes per check."""
import argparse
import glob
import os
import struct
import subprocess
import sys
import tempfile

BLOCK_SIZE = 1084


class Host:
    def __init__(self, wine, bin_dir):
        self.wine = wine
        self.exe = os.path.join(bin_dir, "selvo-host.exe")
        self.module = os.path.join(bin_dir, "Selvo.flt")

    def run(self, *args, cwd=None):
        result = subprocess.run([self.wine, self.exe, args[0], self.module, *args[1:]],
                                capture_output=True, text=True, cwd=cwd)
        return result.returncode, result.stdout.replace("\r\n", "\n"), result.stderr


failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def expect_lines(output, lines):
    present = output.splitlines()
    for line in lines:
        expect(line in present, f"missing line {line!r} in:\n{output}")


def pcx_files(folder="."):
    return sorted(glob.glob(os.path.join(folder, "*.pcx")))


def pcx_size(path):
    with open(path, "rb") as f:
        header = f.read(128)
    x_max, y_max = struct.unpack_from("<HH", header, 8)
    return x_max + 1, y_max + 1


def clear_pcx():
    for path in pcx_files():
        os.remove(path)


def check_info(host, version):
    status, output, _ = host.run("info")
    expect(status == 0, f"info exited {status}")
    expect_lines(output, [
        "LibDescription: Selvo Renderer",
        "LibVersion: 0x0FA00800",
        "LibNumberClasses: 1",
        "  ClassName: Selvo Renderer",
        "  Category: Image Filter",
        "  IsPublic: 1",
        "  SuperClassID: 0x0E00",
        "  ClassID: (0x130079D8, 0x05A618A8)",
        "  GetDescription: Selvo Palette Renderer",
        "  GetVersion: 110",
        "  GetCapability: 6",
        "  GetRequiredChannels: 2",
        "  GetConfigSize: 1084",
        "LibClassDesc(1): null",
        # The version record as Windows reads it: a DLL (VFT_DLL) for 32-bit
        # Windows (VOS__WINDOWS32), its strings in US English, Unicode.
        "file version: 1.0.0.0",
        f"product version: {version}.0",
        "file type: 0x2, file OS: 0x4",
        "translation: 0409 04b0",
        "  Comments: Selvo Renderer (plugin)",
        "  FileDescription: Selvo",
        "  FileVersion: 1, 0, 0, 0",
        "  InternalName: Selvo",
        "  OriginalFilename: Selvo.flt",
        "  ProductName: Selvo Palette Renderer for 3DSMAX R4",
        f"  ProductVersion: {version.replace('.', ', ')}, 0",
    ])


def check_render(host):
    clear_pcx()
    status, output, error = host.run("render", "--demo", "--frame", "7")
    expect(status == 0, f"render exited {status}: {error}")
    expect(pcx_files() == [os.path.join(".", "demo0007.pcx")], f"files: {pcx_files()}")
    if failures:
        return
    width, height = pcx_size("demo0007.pcx")
    expect_lines(output, [
        "RenderFrame: 1",
        f"progress messages: {height} (rows in order: yes, last row {height - 1})",
        f"abort queries: {height}",
        f"pixels stored: {width * height} (largest run 1)",
    ])


def check_abort(host):
    clear_pcx()
    status, output, _ = host.run("render", "--demo", "--frame", "3", "--abort-at", "1")
    expect(status == 0, f"render exited {status}")
    expect_lines(output, ["RenderFrame: 1", "abort queries: 1",
                          "pixels stored: 0 (largest run 0)"])
    expect(output.count("progress messages: 1 ") == 1, f"one progress message:\n{output}")
    status, output, _ = host.run("render", "--demo", "--frame", "3", "--abort-at", "3")
    expect_lines(output, ["abort queries: 3"])
    expect(pcx_files() == [], f"aborted frames left files: {pcx_files()}")


def block(version, source=1001, name=b"slvo.pcx"):
    data = bytearray(BLOCK_SIZE)
    struct.pack_into("<Ii", data, 0, version, source)
    data[8:8 + len(name)] = name
    struct.pack_into("<i", data, 264, 1023)
    return bytes(data)


def check_refused_settings(host):
    clear_pcx()
    cases = {"newer.blk": block(111), "short.blk": block(110)[:100]}
    for name, data in cases.items():
        with open(name, "wb") as f:
            f.write(data)
        status, _, error = host.run("render", "--settings", name, "--demo", "--frame", "1")
        expect(status == 1, f"{name}: exit {status}")
        expect(name in error, f"{name}: error names the file: {error!r}")
    expect(pcx_files() == [], f"refused settings left files: {pcx_files()}")

    # An older block is taken: its name and object channel drive the frame.
    with open("older.blk", "wb") as f:
        f.write(block(100, 1002, b"custom.pcx"))
    status, output, error = host.run("render", "--settings", "older.blk", "--demo", "--frame", "5")
    expect(status == 0, f"older block: exit {status}: {error}")
    expect(pcx_files() == [os.path.join(".", "custom0005.pcx")], f"files: {pcx_files()}")


def check_no_file(host):
    """The module stays silent when it cannot save a frame; the host sees that
    no file appeared and fails with a message."""
    clear_pcx()
    cases = {"missing_folder.blk": (b"no_such_folder\\x.pcx", "no_such_folder\\x0001.pcx"),
             "forbidden.blk": (b"a?b.pcx", "a?b0001.pcx"),
             "unterminated.blk": (b"a" * 255, "no file name that fits")}
    for name, (output, named) in cases.items():
        with open(name, "wb") as f:
            f.write(block(110, name=output))
        status, _, error = host.run("render", "--settings", name, "--demo", "--frame", "1")
        expect(status == 1, f"{name}: exit {status}")
        expect("the filter wrote no file" in error and named in error,
               f"{name}: error says no file was written: {error!r}")
    expect(pcx_files() == [], f"files: {pcx_files()}")


def check_matches_selvo(host, selvo):
    for frame in ("1", "23"):
        with tempfile.TemporaryDirectory(dir=".") as native, \
                tempfile.TemporaryDirectory(dir=".") as windows:
            subprocess.run([selvo, "render", "--demo", "--frame", frame], cwd=native,
                           check=True, capture_output=True)
            status, _, error = host.run("render", "--demo", "--frame", frame, cwd=windows)
            expect(status == 0, f"frame {frame}: selvo-host exited {status}: {error}")
            mine, theirs = pcx_files(windows), pcx_files(native)
            expect(len(mine) == 1 and [os.path.basename(p) for p in mine] ==
                   [os.path.basename(p) for p in theirs],
                   f"frame {frame}: files {mine} and {theirs}")
            if len(mine) == 1 and len(theirs) == 1:
                with open(mine[0], "rb") as a, open(theirs[0], "rb") as b:
                    expect(a.read() == b.read(), f"frame {frame}: the PCX files differ")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--selvo")
    parser.add_argument("--version", required=True, help="the project's, MAJOR.MINOR.PATCH")
    parser.add_argument("check", choices=["info", "render", "abort", "refused-settings",
                                          "no-file", "matches-selvo"])
    args = parser.parse_args()
    host = Host(args.wine, args.bin)
    if args.check == "matches-selvo":
        check_matches_selvo(host, args.selvo)
    elif args.check == "info":
        check_info(host, args.version)
    else:
        {"render": check_render, "abort": check_abort,
         "refused-settings": check_refused_settings, "no-file": check_no_file}[args.check](host)
    for failure in failures:
        print(f"FAIL: {failure}")
    if not failures:
        print(f"{args.check}: ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
