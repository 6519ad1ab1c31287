"""Builds the add-on tests' scene and saves it: three objects with pass
indices, animated over frames 1-3, tiny Cycles settings, the add-on's
settings set and palettizing on. Run inside Blender:
blender -b -P make_scene.py -- OUT.blend"""

import sys

import bpy

out = sys.argv[sys.argv.index("--") + 1]
bpy.ops.wm.read_homefile(use_empty=True)
scene = bpy.context.scene
scene.render.engine = "CYCLES"
scene.cycles.samples = 2
scene.cycles.use_denoising = False
scene.cycles.device = "CPU"
scene.render.resolution_x, scene.render.resolution_y = 40, 30
scene.render.resolution_percentage = 100
scene.render.filepath = "//frames/f_####"
scene.frame_start, scene.frame_end = 1, 3

world = bpy.data.worlds.new("World")
world.color = (0.2, 0.3, 0.5)
scene.world = world


def add(kind, location, pass_index, colour, **kw):
    getattr(bpy.ops.mesh, f"primitive_{kind}_add")(location=location, **kw)
    obj = bpy.context.object
    obj.pass_index = pass_index
    material = bpy.data.materials.new(f"m{pass_index}")
    material.diffuse_color = colour
    material.pass_index = pass_index
    obj.data.materials.append(material)
    return obj


add("plane", (0, 0, 0), 1, (0.6, 0.6, 0.6, 1), size=8)
ball = add("uv_sphere", (-1, 0, 1), 2, (0.8, 0.1, 0.1, 1))
cube = add("cube", (1.5, 0, 1), 3, (0.1, 0.8, 0.1, 1))
for frame, x in ((1, -1.5), (2, -0.5), (3, 0.5)):
    ball.location.x = x
    ball.keyframe_insert("location", frame=frame)

bpy.ops.object.light_add(type="SUN", location=(0, 0, 5))
bpy.ops.object.camera_add(location=(0, -7, 4), rotation=(1.1, 0, 0))
scene.camera = bpy.context.object

bpy.ops.selvo.setup_scene()
props = scene.selvo
props.source = "OBJECT"
props.output_name = "pcx/shot.pcx"
for band, low, high, dither in ((0, 200, 215, True), (1, 16, 31, False),
                                (2, 32, 63, True), (3, 64, 95, False)):
    props.range_from[band], props.range_to[band] = low, high
    props.dither[band] = dither
props.palettize_on_render = True
bpy.ops.wm.save_as_mainfile(filepath=out)
