"""Palettizing every frame Blender writes during an animation render.

The handlers never raise: a problem is reported once per render and the
render itself goes on untouched."""

import os
import tempfile

import bpy
from bpy.app.handlers import persistent

from . import block, display, output, runner, sheet

_reported = set()
# {view suffix: [(frame, PCX path)]} of the animation being rendered, for
# its sprite sheet.
_written = {}


def scene_problem(scene):
    """Why the scene's frames cannot be palettized, or None."""
    return output_problem(scene) or pass_problem(scene)


_SET_UP = "press \"Set up passes and output\" in the Selvo Palette panel"


def output_problem(scene):
    settings = scene.render.image_settings
    if not output.is_multilayer(settings):
        return f"the output format is not OpenEXR MultiLayer; {_SET_UP}"
    if scene.render.use_multiview and settings.views_format != "INDIVIDUAL":
        return f"the views are not written as individual files; {_SET_UP}"
    return None


def pass_problem(scene):
    material = scene.selvo.source_channel == block.MATERIAL_CHANNEL
    pass_name = "Material Index" if material else "Object Index"
    for layer in scene.view_layers:
        if layer.use and not (layer.use_pass_material_index if material
                              else layer.use_pass_object_index):
            return f"the {pass_name} pass of view layer \"{layer.name}\" is off; {_SET_UP}"
    return None


def palettize(scene, exr_path, frame, view_suffix=""):
    """One view of one frame from its multilayer EXR file: the colours as
    the artist sees them (or scene-linear through the sRGB curve, when the
    panel says so), the IDs from the EXR. Returns the PCX and preview paths."""
    if scene.selvo.colors == "LINEAR":
        return runner.render_frame(scene, exr_path, exr_path, frame, view_suffix)
    with tempfile.TemporaryDirectory(prefix="selvo-") as folder:
        png = os.path.join(folder, "display.png")
        display.save_png(scene, exr_path, png)
        return runner.render_frame(scene, png, exr_path, frame, view_suffix)


def report_once(message):
    if message not in _reported:
        _reported.add(message)
        runner.report(message)


@persistent
def on_render_init(*_):
    _reported.clear()
    _written.clear()
    runner.clear_report()


@persistent
def on_render_complete(scene, *_):
    # Only an animation writes frames, so a still makes no sheet.
    try:
        if scene.selvo.palettize_on_render and sheet.wanted(scene.selvo) and _written:
            made = [path for suffix, frames in _written.items()
                    for path in sheet.make(scene, suffix, frames)]
            runner.report("wrote " + ", ".join(made), level="INFO")
    except runner.SelvoError as error:
        report_once(f"sprite sheet: {error}")
    except Exception as error:  # a bug of ours must not stop Blender
        report_once(f"sprite sheet: {type(error).__name__}: {error}")
    finally:
        display.remove_scratch()


@persistent
def on_render_end(*_):
    display.remove_scratch()


@persistent
def on_save_pre(*_):
    if not bpy.app.is_job_running("RENDER"):
        display.remove_scratch()


@persistent
def on_load_post(*_):
    display.remove_scratch()


@persistent
def on_render_write(scene, *_):
    if not scene.selvo.palettize_on_render:
        return
    frame = scene.frame_current
    try:
        problem = scene_problem(scene)
        if problem:
            report_once(problem)
            return
        for view, suffix in output.views(scene):
            exr = scene.render.frame_path(frame=frame, view=view)
            pcx, _ = palettize(scene, exr, frame, suffix)
            _written.setdefault(suffix, []).append((frame, pcx))
            print(f"Selvo: frame {frame} written to {pcx}", flush=True)
    except runner.SelvoMissing as error:
        report_once(str(error))
    except runner.SelvoError as error:
        report_once(f"frame {frame}: {error}")
    except Exception as error:  # a bug of ours must not stop the render
        report_once(f"frame {frame}: {type(error).__name__}: {error}")


_HANDLERS = (("render_init", on_render_init), ("render_write", on_render_write),
             ("render_complete", on_render_complete), ("render_cancel", on_render_end),
             ("save_pre", on_save_pre), ("load_post", on_load_post))


def register():
    for event, handler in _HANDLERS:
        getattr(bpy.app.handlers, event).append(handler)


def unregister():
    for event, handler in reversed(_HANDLERS):
        getattr(bpy.app.handlers, event).remove(handler)
