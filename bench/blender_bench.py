#!/usr/bin/python3
"""What palettizing adds to a background render of a 1080p frame: the
add-on's render_write handler against the frame's own render time.

The add-on tests' scene (a sunlit ground, a sphere and a cube, Cycles) at
1920x1080 is rendered as an animation of N frames three times in one
Blender process, side by side: palettizing off, palettizing in displayed
colours (the default: Blender writes the Save as Render PNG, selvo reads it
and the EXR's IDs) and in scene-linear colours (selvo reads the EXR alone).
Per frame it times the render (render_pre until the frame is written) and
the handler; it prints medians, the handler's share of the measured frame
and of a frame that takes 20 s to render, and the aim (at most 5%).

  bench/blender_bench.py [--build DIR] [--chroot ROOT] [--frames N] [--samples N]

Needs a build (cmake --build build); --chroot runs the Blender of a root
made by scripts/blender-chroots.sh (as root). Run it on an otherwise idle
machine: it prints the load average so that a busy one shows.
"""

import argparse
import json
import os
import shutil
import statistics
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "blender"))
from blender_process import Blender, chroot_blender, python  # noqa: E402

AIM = 0.05
REFERENCE_FRAME_SECONDS = 20.0

# Run inside Blender: wraps the add-on's handler in a timer, renders the
# animation once per mode and prints the times as JSON.
TIMED_RENDERS = '''
import json, sys, time
from bpy.app.handlers import persistent
handlers = bpy.app.handlers
palettize = next(h for h in handlers.render_write if h.__name__ == "on_render_write")
handlers.render_write.remove(palettize)
times, started = {}, [0.0]

# Blender's share of the handler: the Save as Render PNG of the frame.
display = sys.modules[palettize.__module__.rsplit(".", 1)[0] + ".display"]
save_png = display.save_png

def timed_save_png(*args):
    start = time.perf_counter()
    save_png(*args)
    times[current[0]]["png"].append(time.perf_counter() - start)

display.save_png = timed_save_png

@persistent
def frame_started(*_):
    started[0] = time.perf_counter()

@persistent
def timed_palettize(scene, *rest):
    written = time.perf_counter()
    palettize(scene, *rest)
    mode = times[current[0]]
    mode["render"].append(written - started[0])
    mode["handler"].append(time.perf_counter() - written)

handlers.render_pre.append(frame_started)
handlers.render_write.append(timed_palettize)
current = [None]
for mode, on, colors in (("off", False, "DISPLAY"), ("display", True, "DISPLAY"),
                         ("linear", True, "LINEAR")):
    current[0] = mode
    times[mode] = {"render": [], "handler": [], "png": []}
    scene.selvo.palettize_on_render, scene.selvo.colors = on, colors
    bpy.ops.render.render(animation=True)
print("TIMES " + json.dumps(times))
'''


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(os.path.dirname(HERE), "build"))
    parser.add_argument("--chroot", help="a Debian root of scripts/blender-chroots.sh")
    parser.add_argument("--frames", type=int, default=5)
    parser.add_argument("--samples", type=int, default=16, help="Cycles samples a pixel")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    addon_zip = os.path.join(build, "selvo_blender.zip")
    root = tempfile.mkdtemp(prefix="selvo-blender-bench-")
    try:
        if args.chroot:
            command = chroot_blender(args.chroot, [os.path.dirname(HERE), build, root])
            selvo = os.path.join(build, "tests", "blender", "selvo-bundle", "selvo")
        else:
            command, selvo = ["blender"], os.path.join(build, "cli", "selvo")
        blender = Blender(command, selvo, root)
        for step in (blender.install(addon_zip), blender.make_scene(os.path.join(root, "s.blend"))):
            if step[0] != 0:
                sys.exit(step[1])
        code, output = blender.run(os.path.join(root, "s.blend"), "--python-expr", python(
            "scene.render.resolution_x, scene.render.resolution_y = 1920, 1080",
            f"scene.cycles.samples = {args.samples}",
            f"scene.frame_start, scene.frame_end = 1, {args.frames}", TIMED_RENDERS))
        if code != 0 or "TIMES " not in output:
            sys.exit(output)
        times = json.loads(output.split("TIMES ", 1)[1].splitlines()[0])
        report(blender, args, times)
    finally:
        shutil.rmtree(root)


def report(blender, args, times):
    print(f"Blender {blender.version[0]}.{blender.version[1]}, 1920x1080, "
          f"{args.samples} samples, {args.frames} frames a mode, "
          f"load average {os.getloadavg()[0]:.2f}")
    render = statistics.median(times["off"]["render"])
    print(f"render of a frame, palettizing off: median {render:.2f} s")
    for mode in ("display", "linear"):
        handler = statistics.median(times[mode]["handler"])
        share = handler / render
        aim = handler / REFERENCE_FRAME_SECONDS
        png = times[mode]["png"]
        png_part = f" (Blender's PNG {statistics.median(png):.3f} s)" if png else ""
        print(f"palettizing, {mode} colours: median {handler:.3f} s a frame{png_part}, "
              f"{100 * share:.1f}% of this frame's render, "
              f"{100 * aim:.1f}% of a {REFERENCE_FRAME_SECONDS:.0f} s frame "
              f"({'met' if aim <= AIM else 'missed'}: at most {100 * AIM:.0f}%)")


if __name__ == "__main__":
    main()
