"""Operators: settings files, the extras' document, palette import, scene
set-up, the grid's pick gesture, palettizing a still render and the sprite
sheet of the frame range."""

import os
import tempfile

import bpy
from bpy.props import BoolProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import block, display, extras, output, render, runner, sheet


def _fail(operator, message):
    """The status bar gets the report; the console gets it too."""
    operator.report({"ERROR"}, message)
    runner.print_report(message)
    return {"CANCELLED"}


def _refuse(cls, message):
    """poll() is False, and Blender (3.0 on) says why in the tooltip."""
    if hasattr(cls, "poll_message_set"):
        cls.poll_message_set(message)
    return False


class _SceneOperator:
    """Every operator here works on the scene's settings."""

    @classmethod
    def poll(cls, context):
        return context.scene is not None or _refuse(cls, "there is no scene")


class SELVO_OT_import_settings(_SceneOperator, bpy.types.Operator, ImportHelper):
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


class _Export(_SceneOperator, ExportHelper):
    """Writes the scene's settings with `write(path, props)` to the chosen file."""

    def execute(self, context):
        try:
            self.write(self.filepath, context.scene.selvo)
        except OSError as error:
            return _fail(self, f"{self.filepath}: {error}")
        return {"FINISHED"}


class SELVO_OT_export_settings(_Export, bpy.types.Operator):
    """Write the scene's settings as a 1084-byte settings file"""
    bl_idname = "selvo.export_settings"
    bl_label = "Export Settings"
    filename_ext = ".bin"
    filter_glob: StringProperty(default="*.bin", options={"HIDDEN"})

    @staticmethod
    def write(path, props):
        block.write(path, props.to_block())


class SELVO_OT_export_extras(_Export, bpy.types.Operator):
    """Write the scene's extras as the document selvo render --extras and selvo config read"""
    bl_idname = "selvo.export_extras"
    bl_label = "Export Extras"
    filename_ext = ".json"
    filter_glob: StringProperty(default="*.json", options={"HIDDEN"})
    write = staticmethod(extras.write)


class SELVO_OT_import_palette(_SceneOperator, bpy.types.Operator, ImportHelper):
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


class SELVO_OT_setup_scene(_SceneOperator, bpy.types.Operator):
    """Turn on the Object and Material Index passes and set the output to OpenEXR MultiLayer, float, a file per view"""
    bl_idname = "selvo.setup_scene"
    bl_label = "Set up passes and output"
    bl_options = {"REGISTER", "UNDO"}
    transparent_film: BoolProperty(
        name="Transparent film",
        description="Render the world background transparent, so that its pixels take the "
                    "transparent index (on by default when Transparency is on; never "
                    "turned off here)")

    def execute(self, context):
        scene = context.scene
        for layer in scene.view_layers:
            layer.use_pass_object_index = True
            layer.use_pass_material_index = True
        output.choose_multilayer(scene.render.image_settings)
        if not self.properties.is_property_set("transparent_film"):
            self.transparent_film = scene.selvo.use_transparency
        if self.transparent_film:
            scene.render.film_transparent = True
        return {"FINISHED"}


class SELVO_OT_grid_click(_SceneOperator, bpy.types.Operator):
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


class SELVO_OT_pick(_SceneOperator, bpy.types.Operator):
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

    @classmethod
    def poll(cls, context):
        if context.scene is None:
            return _refuse(cls, "there is no scene")
        if bpy.data.images.get("Render Result") is None:
            return _refuse(cls, "there is no render result; render a still (F12) first")
        if bpy.app.is_job_running("RENDER"):
            return _refuse(cls, "a render is running")
        return True

    def execute(self, context):
        scene = context.scene
        # The still is saved as multilayer EXR whatever the output format.
        problem = render.pass_problem(scene)
        if problem:
            return _fail(self, problem)
        written = []
        with tempfile.TemporaryDirectory(prefix="selvo-") as folder:
            try:
                exr = _save_multilayer(bpy.data.images["Render Result"], scene, folder)
                for _, suffix in output.views(scene):
                    written.append(render.palettize(scene, exr(suffix), scene.frame_current,
                                                    suffix))
            except (RuntimeError, runner.SelvoError) as error:
                return _fail(self, str(error))
            finally:
                display.remove_scratch()
        _show(context, written[0][1])
        self.report({"INFO"}, "Selvo: wrote " + ", ".join(pcx for pcx, _ in written))
        return {"FINISHED"}


class SELVO_OT_make_sheet(_SceneOperator, bpy.types.Operator):
    """Make the sprite sheet and GIF of the frame range's PCX files, as after an animation render"""
    bl_idname = "selvo.make_sheet"
    bl_label = "Make Sheet from Frames"

    @classmethod
    def poll(cls, context):
        if not super().poll(context):
            return False
        return sheet.wanted(context.scene.selvo) or _refuse(
            cls, "choose the sprite sheet, the GIF or both")

    def execute(self, context):
        scene = context.scene
        try:
            made = [path for _, suffix in output.views(scene)
                    for path in sheet.make(scene, suffix, sheet.range_frames(scene, suffix))]
        except runner.SelvoError as error:
            return _fail(self, str(error))
        self.report({"INFO"}, "Selvo: wrote " + ", ".join(made))
        return {"FINISHED"}


def _save_multilayer(image, scene, folder):
    """Saves every pass of the render result into `folder`, whatever the
    scene's output format (given back after); returns the file name of a
    view by its suffix. Only here, outside any render, is the scene's own
    format changed."""
    with output.KeptFormat(scene.render.image_settings) as settings:
        output.choose_multilayer(settings)
        image.save_render(os.path.join(folder, "still.exr"), scene=scene)
    return lambda suffix: os.path.join(folder, f"still{suffix}.exr")


def _show(context, path):
    image = bpy.data.images.load(path, check_existing=True)
    image.reload()
    for window in context.window_manager.windows:
        for area in window.screen.areas:
            if area.type == "IMAGE_EDITOR":
                area.spaces.active.image = image


classes = (SELVO_OT_import_settings, SELVO_OT_export_settings, SELVO_OT_export_extras,
           SELVO_OT_import_palette, SELVO_OT_setup_scene, SELVO_OT_grid_click,
           SELVO_OT_pick, SELVO_OT_pick_cancel, SELVO_OT_palettize_render_result,
           SELVO_OT_make_sheet)
