"""The "Selvo Palette" panel: the on/off toggle in its header, the settings,
and two sub-panels, the 16 bands and the palette grid laid out as in the
setup dialog (entry i in column i / 16, row i % 16)."""

import collections
import os

import bpy
import bpy.utils.previews

from . import block, output, runner

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
            layout.label(text=pick.last_report, icon="ERROR")
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
            cell.enabled = uniform
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


classes = (SELVO_PT_palette, SELVO_PT_bands, SELVO_PT_grid)


def register():
    global _icons
    _icons = _CellIcons()


def unregister():
    global _icons
    _icons.close()
    _icons = None
