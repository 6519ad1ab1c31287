#!/usr/bin/env python3
"""Runs `selvo-host screenshot` for both dialogs and checks that each BMP
shows a window of about the dialog's size that is not one flat colour.
With --same-as DIR, each BMP must also be byte for byte the one in DIR,
taken of the other build: both builds show the same dialogs."""
import argparse
import struct
import subprocess
import sys

parser = argparse.ArgumentParser()
parser.add_argument("--same-as", metavar="DIR")
parser.add_argument("command", nargs=6,
                    metavar=("RUNNER", "WINE", "WINESERVER", "HOST", "MODULE", "OUT"))
args = parser.parse_args()
runner, wine, wineserver, host, module, out = args.command
failures = 0
# Dialog units of the two templates; on any font a unit is 1 to 3 pixels.
sizes = {"setup": (263, 310), "about": (247, 133)}
for dialog, (units_x, units_y) in sizes.items():
    path = f"{out}/{dialog}.bmp"
    done = subprocess.run([runner, wine, wineserver, host, "screenshot", module, dialog, path],
                          capture_output=True, text=True, timeout=120)
    print(done.stdout, done.stderr, end="")
    try:
        data = open(path, "rb").read()
    except OSError as error:
        print(f"FAIL {dialog}: {error}")
        failures += 1
        continue
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    pixels = data[54:]
    sampled_colours = {pixels[i:i + 3] for i in range(0, len(pixels) - 2, 3 * 97)}
    ok = (done.returncode == 0 and bits == 24
          and units_x <= width <= 3 * units_x + 20
          and units_y <= height <= 3 * units_y + 40  # room for the title bar
          and len(sampled_colours) > 3)
    print(f"{'PASS' if ok else 'FAIL'} {dialog}: {width} x {height}, {bits} bits")
    failures += not ok
    if args.same_as:
        twin = f"{args.same_as}/{dialog}.bmp"
        try:
            same = open(twin, "rb").read() == data
            print(f"{'PASS' if same else 'FAIL'} {dialog}: byte for byte {twin}")
        except OSError as error:
            same = False
            print(f"FAIL {dialog}: {error}")
        failures += not same
sys.exit(1 if failures else 0)
