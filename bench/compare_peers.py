#!/usr/bin/python3
"""Times `selvo render` against the programs a user would reach for instead.

Each program does the same job end to end: read one 1920x1080 frame from a
16-bit RGBA PNG, give every pixel the most similar colour of the 3-3-2
palette (no dithering), write an 8-bit palette image. Then a sequence is
rendered with -j 1 and with -j 2. Everything runs side by side in one go,
several times each, and one table of medians is printed.

  bench/compare_peers.py [--build DIR] [--runs N] [--frames N] [--keep DIR]

Needs the build's `selvo` and `write_test_frame` (cmake --build build), and
Pillow, ImageMagick, netpbm and pngquant (scripts/install-deps.sh). Runs with
Debian's /usr/bin/python3, which has Pillow.
"""

import os
import sys

from PIL import Image, ImageChops

from common import (arguments, cpu_model, find_tools, median_measures, prepare_settings, run,
                    work_folder)

# The peers' own way of doing the remap: Pillow's quantize against a
# palette image, saved as PCX.
PILLOW_REMAP = """
import sys
from PIL import Image
frame, palette, out = sys.argv[1:4]
pal = Image.open(palette)
pal.load()
Image.open(frame).convert("RGB").quantize(palette=pal, dither=Image.Dither.NONE).save(out)
"""


def write_palette_files(pcx, work):
    """The palette selvo used, as each peer wants it: PNG, PPM, PCX."""
    with open(pcx, "rb") as f:
        entries = f.read()[-768:]
    palette = Image.new("P", (16, 16))
    palette.putpalette(entries)
    palette.putdata(list(range(256)))
    palette.save(os.path.join(work, "palette.pcx"))
    rgb = palette.convert("RGB")
    rgb.save(os.path.join(work, "palette.png"))
    rgb.save(os.path.join(work, "palette.ppm"))


def same_colour_share(a_path, b_path):
    """Share of pixels whose decoded colours are equal in both images."""
    a = Image.open(a_path).convert("RGB")
    b = Image.open(b_path).convert("RGB")
    differs = [band.point(lambda v: 255 if v else 0)
               for band in ImageChops.difference(a, b).split()]
    mask = ImageChops.lighter(ImageChops.lighter(differs[0], differs[1]), differs[2])
    return mask.histogram()[0] / (a.width * a.height)


def median_seconds(commands, work, runs):
    return {name: seconds for name, (seconds, _) in median_measures(commands, work, runs).items()}


def compare_single_frame(tools, work, settings, runs):
    python = sys.executable
    with open(os.path.join(work, "pillow_remap.py"), "w") as f:
        f.write(PILLOW_REMAP)
    selvo = tools["selvo"]
    programs = [
        # (name, command, output file)
        ("selvo render (16-bit, exact)",
         f"{selvo} render --color frame.png --ids ids.png --settings {settings} -q",
         "selvo0000.pcx"),
        ("Pillow quantize, dither NONE",
         f"{python} pillow_remap.py frame.png palette.pcx pillow.pcx", "pillow.pcx"),
        ("ImageMagick convert -remap",
         "convert frame.png +dither -remap palette.png magick.pcx", "magick.pcx"),
        ("netpbm pnmremap -nofloyd",
         "pngtopam frame.png | pnmremap -nofloyd -mapfile=palette.ppm"
         " | ppmtopcx -8bit > netpbm.pcx", "netpbm.pcx"),
        ("pngquant --map --nofs (PNG out)",
         "pngquant --map palette.png --nofs --force --output pngquant.png frame.png",
         "pngquant.png"),
    ]
    medians = median_seconds({name: command for name, command, _ in programs}, work, runs)
    selvo_time = medians[programs[0][0]]
    selvo_out = os.path.join(work, programs[0][2])
    rows = []
    for name, command, out in programs:
        share = same_colour_share(selvo_out, os.path.join(work, out))
        rows.append((name, medians[name], medians[name] / selvo_time, share, command))
    return rows


def compare_jobs(tools, work, settings, runs, frames):
    for n in range(1, frames + 1):
        run([tools["write_test_frame"], os.path.join(work, f"seq_{n:04d}.png"),
             os.path.join(work, f"seqid_{n:04d}.png"), str(n)])
    base = (f"{tools['selvo']} render --color seq_####.png --ids seqid_####.png"
            f" --settings {settings} --frames 1-{frames} -q")
    medians = median_seconds({1: base + " -j 1", 2: base + " -j 2"}, work, runs)
    return {jobs: frames / seconds for jobs, seconds in medians.items()}


def main():
    args = arguments(__doc__, frames=8)
    tools = find_tools(args.build, [("cli", "selvo"), ("bench", "write_test_frame")],
                       ["convert", "pngtopam", "pnmremap", "ppmtopcx", "pngquant"])
    with work_folder(args.keep, "selvo-peers-") as work:
        run([tools["write_test_frame"], os.path.join(work, "frame.png"),
             os.path.join(work, "ids.png"), "1"])
        settings = prepare_settings(tools["selvo"], work)
        run([tools["selvo"], "render", "--color", "frame.png", "--ids", "ids.png",
             "--settings", settings, "-q"], cwd=work)
        write_palette_files(os.path.join(work, "selvo0000.pcx"), work)

        rows = compare_single_frame(tools, work, settings, args.runs)
        fps = compare_jobs(tools, work, settings, args.runs, args.frames)

    load = ", ".join(f"{v:.2f}" for v in os.getloadavg())
    print(f"CPU: {cpu_model()}, {os.cpu_count()} logical CPUs; load average at the end {load}")
    print(f"One 1920x1080 frame, 16-bit RGBA PNG in, nearest colour of the 3-3-2 palette,"
          f" no dither; wall time, median of {args.runs} runs")
    print(f"{'program':34} {'median s':>9} {'x selvo':>8} {'same colour as selvo':>21}")
    for name, seconds, ratio, share, _ in rows:
        print(f"{name:34} {seconds:9.3f} {ratio:8.2f} {100 * share:20.1f}%")
    print()
    print(f"Sequence of {args.frames} frames: -j 1 {fps[1]:.2f} fps, -j 2 {fps[2]:.2f} fps,"
          f" -j 2 / -j 1 = {fps[2] / fps[1]:.2f}x")
    print()
    print("The peers read the frame as 8-bit values and search in their own ways, some"
          " approximately;\nselvo searches exactly on the 16-bit values. 'same colour'"
          " counts the pixels where a peer\nchose the colour selvo chose.")
    print("Commands:")
    for name, _, _, _, command in rows:
        print(f"  {command}")


if __name__ == "__main__":
    main()
