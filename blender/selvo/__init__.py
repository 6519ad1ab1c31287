"""Selvo for Blender: palettizes rendered frames with the selvo command, each
object's or material's pixels within its own band of a 256-colour palette."""

bl_info = {
    "name": "Selvo",
    "description": "Palette art from renders: every frame palettized by selvo into an 8-bit PCX",
    "author": "Selvo",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "Properties > Output > Selvo Palette",
    "category": "Render",
}

import bpy

from . import ops, props, render, runner, ui

_classes = (runner.Preferences,) + props.classes + ops.classes + ui.classes
_modules = (props, ui, render)


def register():
    for cls in _classes:
        bpy.utils.register_class(cls)
    for module in _modules:
        module.register()


def unregister():
    for module in reversed(_modules):
        module.unregister()
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
