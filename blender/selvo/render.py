"""Palettizing every frame Blender writes during an animation render.

The handlers never raise: a problem is reported once per render and the
render itself goes on untouched."""

import bpy
from bpy.app.handlers import persistent

from . import block, runner

_reported = set()


def scene_problem(scene):
    """Why the scene's frames cannot be palettized, or None."""
    return output_problem(scene) or pass_problem(scene)


def output_problem(scene):
    if scene.render.image_settings.file_format != "OPEN_EXR_MULTILAYER":
        return ("the output format is not OpenEXR MultiLayer; press "
                "\"Set up passes and output\" in the Selvo Palette panel")
    return None


def pass_problem(scene):
    material = scene.selvo.source_channel == block.MATERIAL_CHANNEL
    pass_name = "Material Index" if material else "Object Index"
    for layer in scene.view_layers:
        if layer.use and not (layer.use_pass_material_index if material
                              else layer.use_pass_object_index):
            return (f"the {pass_name} pass of view layer \"{layer.name}\" is off; "
                    "press \"Set up passes and output\" in the Selvo Palette panel")
    return None


def report_once(message):
    if message not in _reported:
        _reported.add(message)
        runner.report(message)


@persistent
def on_render_init(*_):
    _reported.clear()
    runner.clear_report()


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
        exr = scene.render.frame_path(frame=frame)
        pcx, _ = runner.render_frame(scene, exr, frame)
        print(f"Selvo: frame {frame} written to {pcx}", flush=True)
    except runner.SelvoMissing as error:
        report_once(str(error))
    except runner.SelvoError as error:
        report_once(f"frame {frame}: {error}")
    except Exception as error:  # a bug of ours must not stop the render
        report_once(f"frame {frame}: {type(error).__name__}: {error}")


def register():
    bpy.app.handlers.render_init.append(on_render_init)
    bpy.app.handlers.render_write.append(on_render_write)


def unregister():
    bpy.app.handlers.render_write.remove(on_render_write)
    bpy.app.handlers.render_init.remove(on_render_init)
