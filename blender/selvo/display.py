"""A frame in the colours the artist sees: what Blender's "Save as Render"
writes as a 16-bit PNG, through the scene's display, view transform, look,
exposure, gamma, curves and white balance.

The rendering scene itself is never changed (changing its output format
while it renders can crash Blender). A scratch scene carries a copy of its
colour management and the PNG format, and Blender saves the EXR frame it
has just written, loaded into a scratch image, through it. Removing an ID
while a render runs crashes Blender too (a scene on 3.4 and 4.3, an image
on 5.2), so one scratch scene and image serve every frame and view of a
render and go when it ends; files saved meanwhile lose them on loading.
Their names start with "." to keep them out of Blender's lists."""

import bpy

SCRATCH_NAME = ".selvo display colours"


def save_png(scene, exr_path, png_path):
    scratch, image = _scratch(exr_path)
    # The display first: it decides which views exist, the view which
    # looks; the curves exist once they are in use. Copied every frame, as
    # exposure and the rest may be animated.
    _copy(scene.display_settings, scratch.display_settings)
    _copy(scene.view_settings, scratch.view_settings,
          first=("view_transform", "use_curve_mapping"))
    image.save_render(png_path, scene=scratch)


def remove_scratch():
    """Only outside a render."""
    scratch = [ids.get(SCRATCH_NAME) for ids in (bpy.data.scenes, bpy.data.images)]
    if any(scratch):
        bpy.data.batch_remove([i for i in scratch if i])


def _scratch(exr_path):
    scratch = bpy.data.scenes.get(SCRATCH_NAME)
    if scratch is None:
        scratch = bpy.data.scenes.new(SCRATCH_NAME)
        settings = scratch.render.image_settings
        settings.file_format, settings.color_mode, settings.color_depth = "PNG", "RGBA", "16"
        settings.compression = 0  # read once by selvo, then deleted
    image = bpy.data.images.get(SCRATCH_NAME)
    if image is None:
        image = bpy.data.images.load(exr_path, check_existing=False)
        image.name = SCRATCH_NAME
    else:
        image.filepath = exr_path
        image.reload()
    return scratch, image


def _copy(source, target, first=()):
    """Copies every setting of an RNA struct, nested structs and curve
    points included, so a setting added by a later Blender comes along."""
    properties = source.bl_rna.properties
    for name in list(first) + [p.identifier for p in properties if p.identifier not in first]:
        prop = properties[name]
        if name == "rna_type":
            continue
        if prop.type == "POINTER":
            if getattr(target, name) is not None:
                _copy(getattr(source, name), getattr(target, name))
        elif prop.type == "COLLECTION":
            if name == "curves":
                _copy_curves(source.curves, target.curves)
        elif not prop.is_readonly:
            setattr(target, name, getattr(source, name))
    if isinstance(target, bpy.types.CurveMapping):
        target.update()


def _copy_curves(source, target):
    for curve, copy in zip(source, target):
        points = copy.points
        while len(points) > len(curve.points):
            points.remove(points[-1])
        while len(points) < len(curve.points):
            points.new(0.0, 0.0)
        for point, copied in zip(curve.points, points):
            copied.location, copied.handle_type = point.location, point.handle_type
