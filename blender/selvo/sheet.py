"""A sprite sheet and an animated GIF of an animation's PCX frames, made by
`selvo sheet`: once an animation render is complete, over the frames it
has just written, or by hand over the frame range's files.

They go beside the frames, named after the output name and the frames'
first and last numbers, so that farm workers rendering disjoint ranges
into one folder never overwrite each other's: `pcx/shot.pcx` over frames
1 to 24 gives `shot_0001-0024.png` (the sheet), `shot_0001-0024.json` (its
frames, as Aseprite's --data writes them) and `shot_0001-0024.gif`."""

import os

from . import extras, output, runner


def wanted(props):
    return props.make_sheet or props.make_gif


# selvo sheet's frame rates: whole frames a second, as a GIF's delays are
# whole hundredths of a second and viewers slow down shorter ones.
FPS_RANGE = (1, 50)


def scene_fps(scene):
    """The scene's frame rate, FPS / Base, as the sheet can play it."""
    low, high = FPS_RANGE
    return min(max(round(scene.render.fps / scene.render.fps_base), low), high)


def fps(scene):
    props = scene.selvo
    return scene_fps(scene) if props.use_scene_fps else props.sheet_fps


def _target(props, view_suffix, first, last):
    """(folder, base name): the output name's file part (a view's suffix
    included) cut at its first ".", as selvo cuts it, then the range."""
    folder, name = output.pcx_target(props.output_name, view_suffix)
    return folder, f"{name.partition('.')[0]}_{first:04d}-{last:04d}"


def planned(props, view_suffix, first, last):
    """(folder, [file names]) of what a sheet over frames `first` to `last` writes."""
    folder, base = _target(props, view_suffix, first, last)
    chosen = ((props.make_sheet, ".png"), (props.make_sheet, ".json"), (props.make_gif, ".gif"))
    return folder, [base + ext for on, ext in chosen if on]


def make(scene, view_suffix, frames):
    """One `selvo sheet` over `frames`, [(frame, PCX path)] in order, all of
    one view in one folder; returns the paths written."""
    props = scene.selvo
    first, last = frames[0][0], frames[-1][0]
    folder, base = _target(props, view_suffix, first, last)
    args = ["sheet", *(os.path.relpath(pcx, folder) for _, pcx in frames)]
    if props.make_sheet:
        args += ["--sheet", base + ".png", "--data", base + ".json"]
    if props.make_gif:
        args += ["--gif", base + ".gif"]
    args += ["--fps", str(fps(scene))]
    if props.sheet_columns:
        args += ["--columns", str(props.sheet_columns)]
    if props.use_transparency:
        args += ["--transparent", str(extras.transparent_index(props))]
    runner.run(args, cwd=folder)
    return [os.path.join(folder, name) for name in planned(props, view_suffix, first, last)[1]]


def range_frames(scene, view_suffix):
    """[(frame, PCX path)] of the scene's frame range, as the render wrote
    them; SelvoError naming the first that is missing."""
    folder, name = output.pcx_target(scene.selvo.output_name, view_suffix)
    frames = []
    for frame in range(scene.frame_start, scene.frame_end + 1, scene.frame_step):
        written = runner.frame_file_name(name, frame)
        pcx = os.path.join(folder, written or "")
        if written is None or not os.path.isfile(pcx):
            raise runner.SelvoError(f"frame {frame} has no PCX file ({pcx}); "
                                    "render the animation first")
        frames.append((frame, pcx))
    return frames
