"""The "Selvo Palette" panel: settings, the 16 bands and the palette grid
laid out as in the setup dialog (entry i in column i / 16, row i % 16)."""

import bpy
import bpy.utils.previews

from . import block

ICON_SIZE = 16
RED, BLACK = (1.0, 0.0, 0.0, 1.0), (0.0, 0.0, 0.0, 1.0)
_icons = None


def _cell_icon(rgb, frame):
    """An icon of one palette colour, framed red (chosen ID's band) or black
    (the anchor) as the dialog frames them; made once per colour and frame."""
    key = "%02x%02x%02x-%s" % (*rgb, frame)
    if key in _icons:
        return _icons[key].icon_id
    fill = tuple(c / 255 for c in rgb) + (1.0,)
    edge = {"band": RED, "anchor": BLACK}.get(frame, fill)
    pixels = []
    for y in range(ICON_SIZE):
        for x in range(ICON_SIZE):
            border = min(x, y, ICON_SIZE - 1 - x, ICON_SIZE - 1 - y) < 2
            pixels.extend(edge if border else fill)
    icon = _icons.new(key)
    icon.icon_size = icon.image_size = (ICON_SIZE, ICON_SIZE)
    icon.icon_pixels_float = icon.image_pixels_float = pixels
    return icon.icon_id


def _frame_of(index, props, pick):
    if index == pick.anchor:
        return "anchor"
    low, high = props.range_from[pick.chosen_id], props.range_to[pick.chosen_id]
    return "band" if low <= index <= high else ""


class SELVO_PT_palette(bpy.types.Panel):
    bl_label = "Selvo Palette"
    bl_space_type = "PROPERTIES"
    bl_region_type = "WINDOW"
    bl_context = "output"

    def draw(self, context):
        layout = self.layout
        props = context.scene.selvo
        pick = context.window_manager.selvo_pick
        if pick.last_report:
            layout.label(text=pick.last_report, icon="ERROR")
        layout.prop(props, "palettize_on_render")
        layout.operator("selvo.setup_scene")
        layout.prop(props, "source")
        layout.prop(props, "method")
        layout.prop(props, "output_name")
        frame = context.scene.frame_current
        layout.label(text="Frame %d is written as %s"
                     % (frame, block.frame_name(props.output_name, frame)))
        row = layout.row(align=True)
        row.operator("selvo.import_settings", text="Import…", icon="IMPORT")
        row.operator("selvo.export_settings", text="Export…", icon="EXPORT")
        row.operator("selvo.import_palette", text="Import palette…", icon="COLOR")
        layout.operator("selvo.palettize_render_result", icon="RENDER_STILL")
        self.draw_bands(layout, props, pick)
        self.draw_grid(layout, props, pick)

    @staticmethod
    def draw_bands(layout, props, pick):
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

    @staticmethod
    def draw_grid(layout, props, pick):
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
                icon = _cell_icon(rgb, _frame_of(index, props, pick))
                row.operator("selvo.grid_click", text="", icon_value=icon,
                             emboss=False).index = index


classes = (SELVO_PT_palette,)


def register():
    global _icons
    _icons = bpy.utils.previews.new()


def unregister():
    global _icons
    bpy.utils.previews.remove(_icons)
    _icons = None
