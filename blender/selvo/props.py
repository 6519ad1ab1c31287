"""scene.selvo: the settings block as scene properties, saved with the .blend.

The two selectors, the dither flags and the output name are kept as the raw
values the block holds, so that importing and exporting a block gives back
the same bytes; the panel edits them through views (enums, check boxes, a
text field)."""

import bpy
from bpy.props import (BoolProperty, BoolVectorProperty, EnumProperty,
                       IntProperty, IntVectorProperty, PointerProperty,
                       StringProperty)

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


class SelvoPickState(bpy.types.PropertyGroup):
    """The grid's pick gesture, per Blender session (not saved)."""
    anchor: IntProperty(min=0, max=255)
    chosen_id: IntProperty(min=0, max=block.RANGE_COUNT - 1)
    pending: BoolProperty()
    last_report: StringProperty()


classes = (SelvoSettings, SelvoPickState)


def register():
    bpy.types.Scene.selvo = PointerProperty(type=SelvoSettings)
    bpy.types.WindowManager.selvo_pick = PointerProperty(type=SelvoPickState)


def unregister():
    del bpy.types.WindowManager.selvo_pick
    del bpy.types.Scene.selvo
