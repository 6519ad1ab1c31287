"""The add-on's preferences: where selvo is, when it is not on PATH."""

import bpy


class Preferences(bpy.types.AddonPreferences):
    # "selvo" as a legacy add-on, "bl_ext.REPOSITORY.selvo" as an extension.
    bl_idname = __package__

    selvo_path: bpy.props.StringProperty(
        name="selvo executable", subtype="FILE_PATH",
        description="Leave empty to find selvo on PATH")

    def draw(self, context):
        self.layout.prop(self, "selvo_path")


def configured_selvo():
    """The preference's path, or "" (also when the add-on is not enabled)."""
    addon = bpy.context.preferences.addons.get(__package__)
    return addon.preferences.selvo_path if addon else ""
