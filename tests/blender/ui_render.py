"""Blender's UI (under Xvfb): an animation render started as Ctrl-F12 starts
it, then frame 2 rendered again and saved by the Image Editor's "Save As"
with "Save as Render", as an artist saves what they see (a 16-bit RGBA
PNG). Prints the data left in the file once the render is done, for
test_addon.py. blender SCENE.blend -P ui_render.py -- OUT.png"""

import sys

import bpy

out = sys.argv[sys.argv.index("--") + 1]


def window():
    return bpy.context.window_manager.windows[0]


def largest_area():
    return max(window().screen.areas, key=lambda a: a.width * a.height)


def render_animation():
    with bpy.context.temp_override(window=window()):
        bpy.ops.render.render("INVOKE_DEFAULT", animation=True)
    bpy.app.timers.register(render_still, first_interval=1)


def render_still():
    if bpy.app.is_job_running("RENDER"):
        return 0.5
    print("IDs left:", sorted(i.name for c in (bpy.data.scenes, bpy.data.images) for i in c
                              if i.name != "Render Result"), flush=True)
    scene = bpy.context.scene
    scene.selvo.palettize_on_render = False
    scene.frame_set(2)
    bpy.ops.render.render()
    settings = scene.render.image_settings
    if hasattr(settings, "media_type"):
        settings.media_type = "IMAGE"
    settings.file_format, settings.color_mode, settings.color_depth = "PNG", "RGBA", "16"
    largest_area().ui_type = "IMAGE_EDITOR"
    largest_area().spaces.active.image = bpy.data.images["Render Result"]
    bpy.app.timers.register(save_as_render, first_interval=1)


def save_as_render():
    area = largest_area()
    with bpy.context.temp_override(window=window(), area=area, region=area.regions[-1]):
        bpy.ops.image.save_as(save_as_render=True, copy=True, check_existing=False, filepath=out)
    print("saved as render", flush=True)
    bpy.ops.wm.quit_blender()


bpy.app.timers.register(render_animation, first_interval=2)
