"""scene.selvo: the settings block as scene properties, saved with the .blend,
and beside it the extras and the sprite sheet made after an animation.

The two selectors, the dither flags and the output name are kept as the raw
values the block holds, so that importing and exporting a block gives back
the same bytes; the panel edits them through views (enums, check boxes, a
text field). The extras are not part of the block: they go to selvo as
their own document (extras.py), and every one is off until chosen."""

import bpy
from bpy.props import (BoolProperty, BoolVectorProperty, EnumProperty,
                       FloatProperty, IntProperty, IntVectorProperty,
                       PointerProperty, StringProperty)

from . import block

_UNSIGNED_BYTE = dict(size=block.RANGE_COUNT, min=0, max=255)


def _source_get(self):
    return 0 if self.source_channel == block.MATERIAL_CHANNEL else 1


def _source_set(self, value):
    self.source_channel = (block.MATERIAL_CHANNEL, block.OBJECT_CHANNEL)[value]


def _method_get(self):
    return 0 if self.method_value == block.UNIFORM_DISTRIBUTION else 1


def _method_set(self, value):
    self.method_value = (block.UNIFORM_DISTRIBUTION, block.MOST_SIMILAR_COLOR)[value]


def _name_get(self):
    return block.decode_name(bytes.fromhex(self.output_name_bytes))


def _name_set(self, value):
    try:
        self.output_name_bytes = block.encode_name(value).hex()
    except block.BlockError as error:
        print("Selvo:", error)


def _transparent_ids_get(self):
    return ", ".join(self.transparent_ids_value.split())


def _transparent_ids_set(self, text):
    try:
        ids = sorted({int(word) for word in text.replace(",", " ").split()})
        if ids and not 0 <= ids[0] <= ids[-1] <= 65535:
            raise ValueError
    except ValueError:
        print(f"Selvo: transparent IDs are whole numbers from 0 to 65535, not {text!r}")
        return
    self.transparent_ids_value = " ".join(map(str, ids))


def _dither_get(self):
    return [value != 0 for value in self.dither_value]


def _dither_set(self, values):
    # A raw value other than 1 that is already on stays as it was.
    self.dither_value = [(old or 1) if on else 0
                         for old, on in zip(self.dither_value, values)]


class SelvoSettings(bpy.types.PropertyGroup):
    palettize_on_render: BoolProperty(
        name="Palettize rendered frames",
        description="Run selvo render on every frame an animation render writes")
    # Not part of the settings block: how the add-on hands selvo the colours.
    colors: EnumProperty(
        name="Colours",
        items=[("DISPLAY", "As displayed",
                "The colours Blender shows and \"Save as Render\" writes: view transform, "
                "look, exposure, gamma and curves"),
               ("LINEAR", "Scene linear, sRGB curve",
                "The EXR's scene-linear values through the plain sRGB curve, as selvo "
                "encodes an EXR by itself; ignores the view transform")])

    version: IntProperty(default=block.VERSION, min=0, max=block.VERSION)
    source_channel: IntProperty(default=block.MATERIAL_CHANNEL)
    method_value: IntProperty(default=block.UNIFORM_DISTRIBUTION)
    output_name_bytes: StringProperty(default=block.encode_name("slvo.pcx").hex())
    palette_hex: StringProperty(default=block.default_palette().hex())
    range_from: IntVectorProperty(name="From", **_UNSIGNED_BYTE)
    range_to: IntVectorProperty(name="To", **_UNSIGNED_BYTE)
    dither_value: IntVectorProperty(**_UNSIGNED_BYTE)

    source: EnumProperty(
        name="Source", get=_source_get, set=_source_set,
        items=[("MATERIAL", "Material Index", "The material pass index picks the band (IDs 0..255)"),
               ("OBJECT", "Object Index", "The object pass index picks the band (IDs 0..65535)")])
    method: EnumProperty(
        name="Method", get=_method_get, set=_method_set,
        items=[("UNIFORM", "Uniform distribution", "Spread the band over the pixel's brightness"),
               ("SIMILAR", "Most similar colour", "The band's entry closest to the pixel's colour")])
    output_name: StringProperty(
        name="Output name", maxlen=block.NAME_SIZE, get=_name_get, set=_name_set,
        description="PCX name, a Blender path (// and plain names are relative to the "
                    ".blend's folder): its file part is cut at its first \".\", then the "
                    "frame number")
    dither: BoolVectorProperty(name="Dither", size=block.RANGE_COUNT,
                               get=_dither_get, set=_dither_set)

    # The extras, in the document's order (extras.py).
    matching: EnumProperty(
        name="Matching",
        items=[("RGB", "RGB", "Most similar colour by distance in RGB, as the filter measures it"),
               ("OKLAB", "OKLab", "Most similar colour by perceptual distance in OKLab")],
        description="How the most similar colour is measured")
    use_transparency: BoolProperty(
        name="Transparency",
        description="Pixels whose alpha is below the threshold take the transparent index, "
                    "whatever their ID")
    alpha_threshold: FloatProperty(name="Alpha threshold", default=0.5, min=0.0, max=1.0,
                                   description="Pixels whose alpha is below this are transparent")
    use_transparent_index: BoolProperty(
        name="Own index", description="Give transparent pixels an index of their own; "
                                      "otherwise they take ID 0's From")
    transparent_index: IntProperty(name="Transparent index", min=0, max=255)
    # Ascending and each once, as selvo keeps them, space-separated.
    transparent_ids_value: StringProperty()
    transparent_ids: StringProperty(
        name="Transparent IDs", get=_transparent_ids_get, set=_transparent_ids_set,
        description="IDs (0 to 65535, comma-separated) whose pixels count as transparent, "
                    "for a render without the transparent film: its background's ID, say 0")
    outline_neighbours: EnumProperty(
        name="Neighbours",
        items=[("4", "4", "A pixel is an edge when a pixel beside, above or below it differs"),
               ("8", "8", "Diagonal neighbours count too")],
        description="Which neighbours make a pixel an edge of its ID")
    outline_background_only: BoolProperty(
        name="Only against the background",
        description="Outline only where an ID meets ID 0 or a transparent pixel, not "
                    "another object")
    use_outline: BoolVectorProperty(name="Outline", size=block.RANGE_COUNT,
                                    description="Draw this ID's edge pixels in its outline index")
    outline_index: IntVectorProperty(name="Outline index", **_UNSIGNED_BYTE)
    # ordered_dither_0 .. ordered_dither_15 are added below.

    # A sprite sheet and GIF of the frames an animation render wrote.
    make_sheet: BoolProperty(
        name="Sprite sheet",
        description="After an animation render, pack its PCX frames into an indexed PNG "
                    "sheet with an Aseprite JSON of the frames")
    make_gif: BoolProperty(name="Animated GIF",
                           description="After an animation render, an animated GIF of its frames")
    use_scene_fps: BoolProperty(name="Scene frame rate", default=True,
                                description="Play at the scene's frame rate (FPS / Base), "
                                            "rounded to whole frames a second, at most 50")
    sheet_fps: IntProperty(name="Frame rate", default=12, min=1, max=50,
                           description="Frames a second of the GIF and the sheet's durations")
    sheet_columns: IntProperty(name="Columns", min=0, max=65535,
                               description="Frames in a row of the sheet; 0: selvo's choice")

    def transparent_id_list(self):
        return [int(word) for word in self.transparent_ids_value.split()]

    def ordered_dither(self, band):
        return getattr(self, f"ordered_dither_{band}")

    def palette(self):
        return bytes.fromhex(self.palette_hex)

    def to_block(self):
        ranges = list(zip(self.range_from, self.range_to, self.dither_value))
        return block.Settings(self.version, self.source_channel,
                              bytes.fromhex(self.output_name_bytes),
                              self.method_value, self.palette(), ranges)

    def from_block(self, settings):
        self.version = settings.version
        self.source_channel = settings.source_channel
        self.output_name_bytes = settings.name_bytes.hex()
        self.method_value = settings.method
        self.palette_hex = settings.palette.hex()
        self.range_from = [r[0] for r in settings.ranges]
        self.range_to = [r[1] for r in settings.ranges]
        self.dither_value = [r[2] for r in settings.ranges]


ORDERED_DITHERS = [("NONE", "None", "The checkerboard when Dither is on, else none"),
                   ("BAYER4", "Bayer 4x4", "A 4x4 threshold pattern anchored to the frame: "
                                           "16 levels between two entries of the band"),
                   ("BAYER8", "Bayer 8x8", "An 8x8 threshold pattern anchored to the frame: "
                                           "64 levels between two entries of the band")]
for _band in range(block.RANGE_COUNT):
    # An enum cannot be a vector: one per ID.
    SelvoSettings.__annotations__[f"ordered_dither_{_band}"] = EnumProperty(
        name="Ordered dither", items=ORDERED_DITHERS,
        description="A dither that holds still from frame to frame, for either method")


class SelvoPickState(bpy.types.PropertyGroup):
    """The grid's pick gesture, per Blender session (not saved)."""
    anchor: IntProperty(min=0, max=255)
    chosen_id: IntProperty(min=0, max=block.RANGE_COUNT - 1)
    pending: BoolProperty()
    last_report: StringProperty()
    last_report_is_error: BoolProperty(default=True)


classes = (SelvoSettings, SelvoPickState)


def register():
    bpy.types.Scene.selvo = PointerProperty(type=SelvoSettings)
    bpy.types.WindowManager.selvo_pick = PointerProperty(type=SelvoPickState)


def unregister():
    del bpy.types.WindowManager.selvo_pick
    del bpy.types.Scene.selvo
