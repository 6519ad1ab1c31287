"""The "Selvo Palette" panel: the on/off toggle in its header, the settings,
and its sub-panels: the 16 bands, the palette grid laid out as in the setup
dialog (entry i in column i / 16, row i % 16), the extras (transparency,
outlines and ordered dithers in a sub-panel each) and the sprite sheet."""

import collections
import os

import bpy
import bpy.utils.previews

from . import block, extras, output, runner, sheet

ICON_SIZE = 16
RED, BLACK = (1.0, 0.0, 0.0, 1.0), (0.0, 0.0, 0.0, 1.0)


class _CellIcons:
    """Icons of palette colours, framed red (the chosen ID's band), black (the
    anchor) or not at all, as the dialog frames them. The least recently
    drawn go once there are more than a grid's worth three times over, so
    editing the palette never grows the cache."""

    CAPACITY = 3 * 256

    def __init__(self):
        self.previews = bpy.utils.previews.new()
        self.used = collections.OrderedDict()

    def close(self):
        bpy.utils.previews.remove(self.previews)

    def icon(self, rgb, frame):
        key = "%02x%02x%02x-%s" % (*rgb, frame)
        if key in self.used:
            self.used.move_to_end(key)
            return self.used[key]
        if len(self.used) >= self.CAPACITY:
            del self.previews[self.used.popitem(last=False)[0]]
        icon = self.previews.new(key)
        icon.icon_size = icon.image_size = (ICON_SIZE, ICON_SIZE)
        icon.icon_pixels_float = icon.image_pixels_float = _cell_pixels(rgb, frame)
        self.used[key] = icon.icon_id
        return icon.icon_id


def _cell_pixels(rgb, frame):
    fill = tuple(c / 255 for c in rgb) + (1.0,)
    edge = {"band": RED, "anchor": BLACK}.get(frame, fill)
    pixels = []
    for y in range(ICON_SIZE):
        for x in range(ICON_SIZE):
            border = min(x, y, ICON_SIZE - 1 - x, ICON_SIZE - 1 - y) < 2
            pixels.extend(edge if border else fill)
    return pixels


_icons = None


def _frame_of(index, props, pick):
    if index == pick.anchor:
        return "anchor"
    low, high = props.range_from[pick.chosen_id], props.range_to[pick.chosen_id]
    return "band" if low <= index <= high else ""


def _written_as(props, frame):
    """Where frame `frame` goes, as selvo names it; // when in the .blend's folder."""
    try:
        folder, name = output.pcx_target(props.output_name)
        written = runner.frame_file_name(name, frame)
    except runner.SelvoError as error:
        return str(error)
    if written is None:
        return "nothing: the name passes 255 characters"
    path = os.path.join(folder, written)
    return bpy.path.relpath(path) if bpy.data.filepath else path


class _OutputPanel:
    bl_space_type = "PROPERTIES"
    bl_region_type = "WINDOW"
    bl_context = "output"


class SELVO_PT_palette(_OutputPanel, bpy.types.Panel):
    bl_label = "Selvo Palette"
    # Drawn in this order; more settings are added to the tuple.
    settings = ("source", "method", "colors", "output_name")

    def draw_header(self, context):
        self.layout.prop(context.scene.selvo, "palettize_on_render", text="")

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        props = context.scene.selvo
        pick = context.window_manager.selvo_pick
        if pick.last_report:
            layout.label(text=pick.last_report,
                         icon="ERROR" if pick.last_report_is_error else "INFO")
        layout.operator("selvo.setup_scene")
        for name in self.settings:
            layout.prop(props, name)
        frame = context.scene.frame_current
        layout.label(text="Frame %d: %s" % (frame, _written_as(props, frame)))
        row = layout.row(align=True)
        row.operator("selvo.import_settings", text="Import…", icon="IMPORT")
        row.operator("selvo.export_settings", text="Export…", icon="EXPORT")
        row.operator("selvo.import_palette", text="Import palette…", icon="COLOR")
        layout.operator("selvo.palettize_render_result", icon="RENDER_STILL")


class _SubPanel(_OutputPanel):
    """A sub-panel of Selvo Palette, folded on its own."""
    bl_parent_id = "SELVO_PT_palette"

    def draw(self, context):
        self.draw_settings(self.layout, context.scene.selvo, context.window_manager.selvo_pick)


class SELVO_PT_bands(_SubPanel, bpy.types.Panel):
    bl_label = "Bands"

    @staticmethod
    def draw_settings(layout, props, pick):
        uniform = props.method == "UNIFORM"
        grid = layout.grid_flow(row_major=True, columns=5, even_columns=False, align=True)
        for heading in ("ID", "From", "To", "Dither", ""):
            grid.label(text=heading)
        for band in range(block.RANGE_COUNT):
            grid.label(text=str(band))
            grid.prop(props, "range_from", index=band, text="")
            grid.prop(props, "range_to", index=band, text="")
            cell = grid.row()
            # An ordered dither (Extras) takes the checkerboard's place.
            cell.enabled = uniform and props.ordered_dither(band) == "NONE"
            cell.prop(props, "dither", index=band, text="")
            picking = pick.pending and pick.chosen_id == band
            grid.operator("selvo.pick", text="pick", depress=picking).id = band


class SELVO_PT_grid(_SubPanel, bpy.types.Panel):
    bl_label = "Palette"

    @staticmethod
    def draw_settings(layout, props, pick):
        palette = props.palette()
        column = layout.column(align=True)
        if pick.pending:
            column.label(text=f"ID {pick.chosen_id}: click the band's last entry "
                         "(right click or Esc abandons)")
        for row_index in range(16):
            row = column.row(align=True)
            for column_index in range(16):
                index = column_index * 16 + row_index
                rgb = palette[3 * index:3 * index + 3]
                icon = _icons.icon(rgb, _frame_of(index, props, pick))
                row.operator("selvo.grid_click", text="", icon_value=icon,
                             emboss=False).index = index


class SELVO_PT_extras(_SubPanel, bpy.types.Panel):
    bl_label = "Extras"
    bl_options = {"DEFAULT_CLOSED"}

    @staticmethod
    def draw_settings(layout, props, pick):
        layout.use_property_split = True
        layout.use_property_decorate = False
        layout.prop(props, "matching")
        layout.label(text="Chosen: " + ("yes, handed to selvo" if extras.any_chosen(props)
                                         else "none, frames as the filter maps them"))
        layout.operator("selvo.export_extras", text="Export…", icon="EXPORT")


class _ExtrasPanel(_OutputPanel):
    bl_parent_id = "SELVO_PT_extras"


def _id_rows(layout, props, headings):
    """A table of the 16 IDs, each row starting with the ID and its band;
    yields (grid, band) for the rest of the row."""
    grid = layout.grid_flow(row_major=True, columns=2 + len(headings), even_columns=False,
                            align=True)
    for heading in ("ID", "Band") + headings:
        grid.label(text=heading)
    for band in range(block.RANGE_COUNT):
        grid.label(text=str(band))
        grid.label(text=f"{props.range_from[band]}–{props.range_to[band]}")
        yield grid, band


class SELVO_PT_transparency(_ExtrasPanel, bpy.types.Panel):
    bl_label = "Transparency"

    def draw_header(self, context):
        self.layout.prop(context.scene.selvo, "use_transparency", text="")

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        props = context.scene.selvo
        # Blender's own setting (Render Properties > Film): without it the
        # world background is opaque and nothing falls below the threshold.
        layout.prop(context.scene.render, "film_transparent", text="Transparent film")
        column = layout.column()
        column.enabled = props.use_transparency
        column.prop(props, "alpha_threshold")
        column.prop(props, "use_transparent_index")
        row = column.row()
        row.enabled = props.use_transparent_index
        row.prop(props, "transparent_index", text="Index")
        if not props.use_transparent_index:
            column.label(text=f"Index {extras.transparent_index(props)}: ID 0's From")
        column.prop(props, "transparent_ids")


class SELVO_PT_outlines(_ExtrasPanel, bpy.types.Panel):
    bl_label = "Outlines"
    bl_options = {"DEFAULT_CLOSED"}

    def draw(self, context):
        props = context.scene.selvo
        layout = self.layout
        settings = layout.column()
        settings.use_property_split = True
        settings.use_property_decorate = False
        settings.row().prop(props, "outline_neighbours", expand=True)
        settings.prop(props, "outline_background_only")
        for grid, band in _id_rows(layout, props, ("Outline", "Index")):
            grid.prop(props, "use_outline", index=band, text="")
            cell = grid.row()
            cell.enabled = props.use_outline[band]
            cell.prop(props, "outline_index", index=band, text="")


class SELVO_PT_ordered_dither(_ExtrasPanel, bpy.types.Panel):
    bl_label = "Ordered Dither"
    bl_options = {"DEFAULT_CLOSED"}

    def draw(self, context):
        props = context.scene.selvo
        for grid, band in _id_rows(self.layout, props, ("Pattern",)):
            grid.prop(props, f"ordered_dither_{band}", text="")


class SELVO_PT_sheet(_SubPanel, bpy.types.Panel):
    bl_label = "Sprite Sheet and GIF"
    bl_options = {"DEFAULT_CLOSED"}

    def draw(self, context):
        scene, layout = context.scene, self.layout
        props = scene.selvo
        layout.use_property_split = True
        layout.use_property_decorate = False
        column = layout.column(heading="After an animation")
        column.prop(props, "make_sheet")
        column.prop(props, "make_gif")
        layout.prop(props, "use_scene_fps",
                    text=f"Scene frame rate ({sheet.scene_fps(scene)})")
        if not props.use_scene_fps:
            layout.prop(props, "sheet_fps")
        layout.prop(props, "sheet_columns")
        folder, names = sheet.planned(props, "", scene.frame_start, scene.frame_end)
        for name in names:
            path = os.path.join(folder, name)
            layout.label(text=bpy.path.relpath(path) if bpy.data.filepath else path)
        layout.operator("selvo.make_sheet", icon="RENDER_ANIMATION")


classes = (SELVO_PT_palette, SELVO_PT_bands, SELVO_PT_grid, SELVO_PT_extras,
           SELVO_PT_transparency, SELVO_PT_outlines, SELVO_PT_ordered_dither, SELVO_PT_sheet)


def register():
    global _icons
    _icons = _CellIcons()


def unregister():
    global _icons
    _icons.close()
    _icons = None
