"""Operators: settings files, palette import, scene set-up, the grid's pick
gesture and palettizing a still render."""

import os
import tempfile

import bpy
from bpy.props import IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import block, render, runner


def _fail(operator, message):
    """The status bar gets the report; the console gets it too."""
    operator.report({"ERROR"}, message)
    runner.print_report(message)
    return {"CANCELLED"}


class SELVO_OT_import_settings(bpy.types.Operator, ImportHelper):
    """Read a 1084-byte settings file (selvo config, Selvo.flt) into the scene"""
    bl_idname = "selvo.import_settings"
    bl_label = "Import Settings"
    bl_options = {"REGISTER", "UNDO"}
    filter_glob: StringProperty(default="*.bin", options={"HIDDEN"})

    def execute(self, context):
        try:
            settings = block.read(self.filepath)
        except (OSError, block.BlockError) as error:
            return _fail(self, f"{self.filepath}: {error}")
        context.scene.selvo.from_block(settings)
        return {"FINISHED"}


class SELVO_OT_export_settings(bpy.types.Operator, ExportHelper):
    """Write the scene's settings as a 1084-byte settings file"""
    bl_idname = "selvo.export_settings"
    bl_label = "Export Settings"
    filename_ext = ".bin"
    filter_glob: StringProperty(default="*.bin", options={"HIDDEN"})

    def execute(self, context):
        try:
            block.write(self.filepath, context.scene.selvo.to_block())
        except OSError as error:
            return _fail(self, f"{self.filepath}: {error}")
        return {"FINISHED"}


class SELVO_OT_import_palette(bpy.types.Operator, ImportHelper):
    """Take the colours of a palette file (PCX, GIMP .gpl, JASC .pal, .act, .hex, PNG)"""
    bl_idname = "selvo.import_palette"
    bl_label = "Import Palette"
    bl_options = {"REGISTER", "UNDO"}
    filter_glob: StringProperty(default="*.pcx;*.gpl;*.pal;*.act;*.hex;*.png",
                                options={"HIDDEN"})
    start: IntProperty(name="First entry", min=0, max=255,
                       description="Palette entry that takes the file's first colour")

    def execute(self, context):
        props = context.scene.selvo
        with tempfile.TemporaryDirectory(prefix="selvo-") as folder:
            path = os.path.join(folder, "settings.bin")
            try:
                block.write(path, props.to_block())
                runner.run(["config", "set", path, "--palette",
                            f"{bpy.path.abspath(self.filepath)}@{self.start}"])
                props.palette_hex = block.read(path).palette.hex()
            except (OSError, block.BlockError, runner.SelvoError) as error:
                return _fail(self, str(error))
        return {"FINISHED"}


class SELVO_OT_setup_scene(bpy.types.Operator):
    """Turn on the Object and Material Index passes and set the output to OpenEXR MultiLayer, float"""
    bl_idname = "selvo.setup_scene"
    bl_label = "Set up passes and output"
    bl_options = {"REGISTER", "UNDO"}

    def execute(self, context):
        scene = context.scene
        for layer in scene.view_layers:
            layer.use_pass_object_index = True
            layer.use_pass_material_index = True
        image = scene.render.image_settings
        image.file_format = "OPEN_EXR_MULTILAYER"
        image.color_depth = "32"
        return {"FINISHED"}


class SELVO_OT_grid_click(bpy.types.Operator):
    """Click the first cell of a band, press its ID's "pick", click the last cell"""
    bl_idname = "selvo.grid_click"
    bl_label = "Palette Entry"
    bl_options = {"INTERNAL", "UNDO"}
    index: IntProperty(min=0, max=255)

    def execute(self, context):
        pick = context.window_manager.selvo_pick
        if pick.pending:
            props = context.scene.selvo
            props.range_from[pick.chosen_id] = pick.anchor
            props.range_to[pick.chosen_id] = self.index
            pick.pending = False
        else:
            pick.anchor = self.index
        return {"FINISHED"}


class SELVO_OT_pick(bpy.types.Operator):
    """Give this ID the band from the clicked cell to the next cell clicked (right click or Esc abandons)"""
    bl_idname = "selvo.pick"
    bl_label = "pick"
    bl_options = {"INTERNAL"}
    id: IntProperty(min=0, max=block.RANGE_COUNT - 1)

    def execute(self, context):
        pick = context.window_manager.selvo_pick
        pick.chosen_id = self.id
        pick.pending = True
        return {"FINISHED"}

    def invoke(self, context, event):
        self.execute(context)
        context.window_manager.modal_handler_add(self)
        return {"RUNNING_MODAL"}

    def modal(self, context, event):
        # Sees every event before the panel does; clicks on cells pass on.
        pick = context.window_manager.selvo_pick
        if not pick.pending or pick.chosen_id != self.id:
            return {"FINISHED"}
        if event.type in {"RIGHTMOUSE", "ESC"} and event.value == "PRESS":
            bpy.ops.selvo.pick_cancel()
            if context.area:
                context.area.tag_redraw()
            return {"CANCELLED"}
        return {"PASS_THROUGH"}


class SELVO_OT_pick_cancel(bpy.types.Operator):
    """Abandon the pick under way"""
    bl_idname = "selvo.pick_cancel"
    bl_label = "Abandon Pick"
    bl_options = {"INTERNAL"}

    def execute(self, context):
        context.window_manager.selvo_pick.pending = False
        return {"FINISHED"}


class SELVO_OT_palettize_render_result(bpy.types.Operator):
    """Palettize the last still render into the PCX and show its preview in the Image Editor"""
    bl_idname = "selvo.palettize_render_result"
    bl_label = "Palettize Render Result"

    def execute(self, context):
        scene = context.scene
        result = bpy.data.images.get("Render Result")
        if result is None:
            return _fail(self, "there is no render result; render a still (F12) first")
        # The still is saved as multilayer EXR whatever the output format.
        problem = render.pass_problem(scene)
        if problem:
            return _fail(self, problem)
        with tempfile.TemporaryDirectory(prefix="selvo-") as folder:
            exr = os.path.join(folder, "still.exr")
            try:
                _save_multilayer(result, scene, exr)
                pcx, preview = runner.render_frame(scene, exr, scene.frame_current)
            except (RuntimeError, runner.SelvoError) as error:
                return _fail(self, str(error))
        _show(context, preview)
        self.report({"INFO"}, f"Selvo: wrote {pcx}")
        return {"FINISHED"}


def _save_multilayer(image, scene, path):
    """Saves every pass of the render result, whatever the scene's output format."""
    settings = scene.render.image_settings
    kept = settings.file_format, settings.color_depth
    settings.file_format, settings.color_depth = "OPEN_EXR_MULTILAYER", "32"
    try:
        image.save_render(path, scene=scene)
    finally:
        settings.file_format, settings.color_depth = kept


def _show(context, path):
    image = bpy.data.images.load(path, check_existing=True)
    image.reload()
    for window in context.window_manager.windows:
        for area in window.screen.areas:
            if area.type == "IMAGE_EDITOR":
                area.spaces.active.image = image


classes = (SELVO_OT_import_settings, SELVO_OT_export_settings,
           SELVO_OT_import_palette, SELVO_OT_setup_scene, SELVO_OT_grid_click,
           SELVO_OT_pick, SELVO_OT_pick_cancel, SELVO_OT_palettize_render_result)
