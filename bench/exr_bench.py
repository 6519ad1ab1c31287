#!/usr/bin/python3
"""Times `selvo render` on a Blender-like EXR frame against decoding it once.

The frame is what Blender writes for a multilayer render: 1920x1080, one
part, float channels ViewLayer.Combined.R/G/B/A, ViewLayer.IndexOB.X and
ViewLayer.IndexMA.X, ZIP. Side by side in one run, several times each:

  - `selvo render --color frame.exr --ids frame.exr` (object IDs),
  - the decode floor: a plain OpenEXR program that decodes the five channels
    selvo reads, once, in one call, with OpenEXR's thread pool on every core
    (and, for comparison, on the calling thread alone),
  - a sequence of 48 such frames with -j 1 and with -j 2.

It prints wall-time medians, each program's peak resident memory, and how
selvo's peak compares with the decoded planes it needs: the five channels as
floats (what the decode floor holds), and the 16-bit RGBA colour and 16-bit
IDs selvo keeps of them; then which targets were met.

  bench/exr_bench.py [--build DIR] [--runs N] [--frames N] [--keep DIR]

Needs the build's `selvo`, `write_test_exr` and `exr_decode_floor`
(cmake --build build). Run it on an otherwise idle machine: it prints the
load average so that a busy one shows.
"""

import os
import sys

from common import (arguments, cpu_model, find_tools, median_measures, prepare_settings, run,
                    work_folder)

WIDTH, HEIGHT = 1920, 1080
CHANNELS = ["ViewLayer.Combined.R", "ViewLayer.Combined.G", "ViewLayer.Combined.B",
            "ViewLayer.Combined.A", "ViewLayer.IndexOB.X"]
# The decoded planes a frame needs: the five channels read, as floats...
FLOAT_PLANE_BYTES = WIDTH * HEIGHT * len(CHANNELS) * 4
# ...and what selvo keeps of them: RGBA at 16 bits a sample, one 16-bit ID.
PLANE_BYTES = WIDTH * HEIGHT * (4 * 2 + 2)
# Distinct frames written for the sequence; the others link to them, since
# every frame takes the same work to read and 48 would fill a gigabyte.
DISTINCT_FRAMES = 4

TARGET_FLOOR = 1.3
TARGET_JOBS = 1.8
TARGET_MEMORY = 1.5


def write_sequence(tools, work, frames):
    for n in range(1, frames + 1):
        name = os.path.join(work, f"seq_{n:04d}.exr")
        if n <= DISTINCT_FRAMES:
            run([tools["write_test_exr"], name, str(n)])
        else:
            os.symlink(f"seq_{(n - 1) % DISTINCT_FRAMES + 1:04d}.exr", name)


def verdict(met):
    return "met" if met else "NOT met"


def main():
    args = arguments(__doc__, frames=48)
    tools = find_tools(args.build, [("cli", "selvo"), ("bench", "write_test_exr"),
                                    ("bench", "exr_decode_floor")])
    cores = os.cpu_count()
    selvo, floor = tools["selvo"], tools["exr_decode_floor"]
    channels = " ".join(CHANNELS)
    with work_folder(args.keep, "selvo-exr-") as work:
        run([tools["write_test_exr"], os.path.join(work, "frame.exr"), "1"])
        write_sequence(tools, work, args.frames)
        settings = prepare_settings(selvo, work, "--source", "object")
        start_load = os.getloadavg()
        single = {
            f"decode floor, {cores} threads": f"{floor} {cores} frame.exr {channels}",
            "decode floor, 1 thread": f"{floor} 0 frame.exr {channels}",
            "selvo render": f"{selvo} render --color frame.exr --ids frame.exr"
                            f" --settings {settings} -q",
        }
        frame = median_measures(single, work, args.runs)
        sequence = (f"{selvo} render --color seq_####.exr --ids seq_####.exr"
                    f" --settings {settings} --frames 1-{args.frames} -q")
        jobs = median_measures({1: sequence + " -j 1", 2: sequence + " -j 2"}, work,
                               max(1, args.runs // 2))
        file_mb = os.path.getsize(os.path.join(work, "frame.exr")) / 1e6

    load = ", ".join(f"{v:.2f}" for v in os.getloadavg())
    print(f"CPU: {cpu_model()}, {cores} logical CPUs; load average at the start "
          f"{', '.join(f'{v:.2f}' for v in start_load)}, at the end {load}")
    print(f"One {WIDTH}x{HEIGHT} Blender-like EXR frame (float RGBA + IndexOB + IndexMA,"
          f" ZIP, {file_mb:.1f} MB); wall time, median of {args.runs} runs")
    floor_time = frame[f"decode floor, {cores} threads"][0]
    print(f"{'program':34} {'median s':>9} {'x floor':>8} {'peak RSS MB':>12}")
    for name, (seconds, peak) in frame.items():
        print(f"{name:34} {seconds:9.3f} {seconds / floor_time:8.2f} {peak / 1e6:12.1f}")
    print()
    fps = {n: args.frames / seconds for n, (seconds, _) in jobs.items()}
    print(f"Sequence of {args.frames} frames: -j 1 {fps[1]:.2f} fps, -j 2 {fps[2]:.2f} fps,"
          f" -j 2 / -j 1 = {fps[2] / fps[1]:.2f}x"
          f" (median of {max(1, args.runs // 2)} runs)")
    selvo_time, selvo_peak = frame["selvo render"]
    print(f"Decoded planes: the five channels as floats {FLOAT_PLANE_BYTES / 1e6:.1f} MB,"
          f" selvo's peak RSS {selvo_peak / FLOAT_PLANE_BYTES:.2f}x that;"
          f" as selvo keeps them (16-bit RGBA + 16-bit IDs) {PLANE_BYTES / 1e6:.1f} MB,"
          f" {selvo_peak / PLANE_BYTES:.2f}x")
    print()
    print(f"Targets: selvo <= {TARGET_FLOOR}x the threaded decode floor:"
          f" {selvo_time / floor_time:.2f}x, {verdict(selvo_time <= TARGET_FLOOR * floor_time)};"
          f" -j 2 >= {TARGET_JOBS}x -j 1: {fps[2] / fps[1]:.2f}x,"
          f" {verdict(fps[2] >= TARGET_JOBS * fps[1])};"
          f" peak RSS <= {TARGET_MEMORY}x the float planes:"
          f" {selvo_peak / FLOAT_PLANE_BYTES:.2f}x,"
          f" {verdict(selvo_peak <= TARGET_MEMORY * FLOAT_PLANE_BYTES)}"
          f" (the 16-bit planes: {verdict(selvo_peak <= TARGET_MEMORY * PLANE_BYTES)})")


if __name__ == "__main__":
    sys.exit(main())
