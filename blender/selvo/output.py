"""Where the frames are and where their PCX files go: the multilayer EXR
output as each Blender version chooses it, the views of a stereo or
multiview render, and output names as Blender paths."""

import os

import bpy

MULTILAYER = "OPEN_EXR_MULTILAYER"


def is_multilayer(image_settings):
    return image_settings.file_format == MULTILAYER


def choose_multilayer(image_settings):
    """Blender 5 lists a multilayer file as a media type, after which the
    file format reads OPEN_EXR_MULTILAYER; earlier versions list it as a
    file format. Full float keeps the colours exactly as rendered."""
    if hasattr(image_settings, "media_type"):
        image_settings.media_type = "MULTI_LAYER_IMAGE"
    else:
        image_settings.file_format = MULTILAYER
    image_settings.color_depth = "32"
    image_settings.views_format = "INDIVIDUAL"


class KeptFormat:
    """Gives image settings their format back on leaving."""

    _NAMES = ("media_type", "file_format", "color_depth", "views_format")

    def __init__(self, image_settings):
        self.settings = image_settings
        self.kept = [(name, getattr(image_settings, name))
                     for name in self._NAMES if hasattr(image_settings, name)]

    def __enter__(self):
        return self.settings

    def __exit__(self, *_):
        # In this order: the media type decides which file formats exist.
        for name, value in self.kept:
            setattr(self.settings, name, value)


def views(scene):
    """(name, file suffix) of each view a render writes; one unnamed view
    without multiview."""
    render = scene.render
    if not render.use_multiview:
        return [("", "")]
    if render.views_format == "STEREO_3D":
        names = ("left", "right")
    else:
        names = [view.name for view in render.views if view.use]
    return [(name, render.views[name].file_suffix) for name in names]


def pcx_target(output_name, view_suffix=""):
    """(folder, name): selvo runs in `folder` and is handed `name`, the file
    part of the output name with the view's suffix before its first ".".

    The output name is a Blender path: "//" is the .blend's folder, an
    absolute name stays absolute, and a plain relative name is relative to
    the .blend's folder too. selvo cuts the name it is handed at its first
    ".", so it is handed no folder: a "." in one (the .blend's own
    "my.project/", "//../renders") cannot cut it."""
    name = output_name
    if not name.startswith("//") and not os.path.isabs(name):
        name = "//" + name
    # Unsaved, "//" is the working folder, as Blender has it then.
    folder, file_name = os.path.split(os.path.abspath(bpy.path.abspath(name)))
    stem, dot, rest = file_name.partition(".")
    return folder, stem + view_suffix + dot + rest
