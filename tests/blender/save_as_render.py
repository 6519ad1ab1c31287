"""Blender's own "Save as Render" of frames, the reference the add-on's
colours are held to: each frame rendered as a still and its Render Result
saved through the scene's colour management as a 16-bit RGBA PNG, by
Image.save_render (the Image Editor's operator needs a window).
blender -b SCENE.blend -P save_as_render.py -- OUT_FOLDER FRAME..."""

import os
import sys

import bpy

args = sys.argv[sys.argv.index("--") + 1:]
out, frames = args[0], [int(a) for a in args[1:]]
scene = bpy.context.scene
scene.selvo.palettize_on_render = False
settings = scene.render.image_settings
if hasattr(settings, "media_type"):
    settings.media_type = "IMAGE"
settings.file_format, settings.color_mode, settings.color_depth = "PNG", "RGBA", "16"
for frame in frames:
    scene.frame_set(frame)
    bpy.ops.render.render()
    bpy.data.images["Render Result"].save_render(os.path.join(out, "render%04d.png" % frame),
                                                 scene=scene)
