"""Checks that run inside Blender with the add-on enabled: the settings round
trip, the pick gesture through its operators, the palette import, the
still-render operator and the panel's icons. Run by test_addon.py:
blender -b SCENE.blend -P blender_checks.py -- SELVO WORKDIR MODULE"""

import contextlib
import json
import os
import random
import struct
import subprocess
import sys
import unittest

import bpy

SELVO, WORK, MODULE = sys.argv[sys.argv.index("--") + 1:][:3]
BLOCK_SIZE = 1084


def selvo(*args):
    subprocess.run([SELVO, *args], check=True, capture_output=True)


def path(name):
    return os.path.join(WORK, name)


def export_bytes():
    bpy.ops.selvo.export_settings(filepath=path("exported.bin"))
    with open(path("exported.bin"), "rb") as f:
        return f.read()


class SceneSettingsKept(unittest.TestCase):
    """Gives each check the scene's settings back afterwards."""

    def setUp(self):
        self.kept = bpy.context.scene.selvo.to_block()

    def tearDown(self):
        bpy.context.scene.selvo.from_block(self.kept)


class SettingsRoundTrip(SceneSettingsKept):
    def test_any_block_comes_back_byte_for_byte(self):
        # Random bytes everywhere: selectors outside their radio pairs, a
        # name without terminator or with bytes after it, dither values
        # other than 0 and 1. Only the version must be one we read.
        rng = random.Random(12)
        for name in (b"x" * 255 + b"\0", b"a.pcx\0" + bytes(rng.randrange(256) for _ in range(250)),
                     bytes(rng.randrange(1, 256) for _ in range(256))):
            data = bytearray(rng.randrange(256) for _ in range(BLOCK_SIZE))
            struct.pack_into("<I", data, 0, rng.randrange(111))
            data[8:264] = name
            with open(path("random.bin"), "wb") as f:
                f.write(data)
            bpy.ops.selvo.import_settings(filepath=path("random.bin"))
            self.assertEqual(export_bytes(), bytes(data))

    def test_fresh_scene_holds_selvos_defaults(self):
        selvo("config", "init", path("defaults.bin"), "--force")
        scene = bpy.data.scenes.new("fresh")
        try:
            with bpy.context.temp_override(scene=scene), open(path("defaults.bin"), "rb") as f:
                self.assertEqual(export_bytes(), f.read())
        finally:
            bpy.data.scenes.remove(scene)

    def test_selvo_config_values_reach_the_panel_properties(self):
        selvo("config", "init", path("hero.bin"), "--force")
        selvo("config", "set", path("hero.bin"), "--source", "object", "--method", "similar",
              "--range", "1=16-31", "--dither", "1=on", "--output", "renders/hero.pcx")
        bpy.ops.selvo.import_settings(filepath=path("hero.bin"))
        props = bpy.context.scene.selvo
        self.assertEqual((props.source, props.method, props.output_name),
                         ("OBJECT", "SIMILAR", "renders/hero.pcx"))
        self.assertEqual((props.range_from[1], props.range_to[1], props.dither[1]), (16, 31, True))

    def test_refused_files_leave_the_settings_alone(self):
        before = export_bytes()
        good = bytearray(before)
        struct.pack_into("<I", good, 0, 111)
        for name, data in (("short.bin", before[:-1]), ("long.bin", before + b"\0"),
                           ("newer.bin", bytes(good))):
            with open(path(name), "wb") as f:
                f.write(data)
            with self.assertRaises(RuntimeError):
                bpy.ops.selvo.import_settings(filepath=path(name))
        self.assertEqual(export_bytes(), before)

    def test_name_longer_than_255_bytes_is_not_taken(self):
        props = bpy.context.scene.selvo
        props.output_name = "kept.pcx"
        props.output_name = "n" * 256
        self.assertEqual(props.output_name, "kept.pcx")


class PickGesture(SceneSettingsKept):
    def setUp(self):
        super().setUp()
        self.props = bpy.context.scene.selvo
        self.pick = bpy.context.window_manager.selvo_pick
        self.props.range_from = [0] * 16
        self.props.range_to = [0] * 16

    def band(self, band):
        return self.props.range_from[band], self.props.range_to[band]

    def test_click_pick_click_sets_the_band_and_keeps_the_anchor(self):
        bpy.ops.selvo.grid_click(index=16)
        bpy.ops.selvo.pick(id=1)
        bpy.ops.selvo.grid_click(index=31)
        self.assertEqual(self.band(1), (16, 31))
        self.assertFalse(self.pick.pending)
        bpy.ops.selvo.pick(id=2)  # the anchor stays for the next pick
        bpy.ops.selvo.grid_click(index=20)
        self.assertEqual(self.band(2), (16, 20))

    def test_only_the_last_pressed_pick_takes_the_band(self):
        bpy.ops.selvo.grid_click(index=40)
        bpy.ops.selvo.pick(id=2)
        bpy.ops.selvo.pick(id=3)
        bpy.ops.selvo.grid_click(index=47)
        self.assertEqual((self.band(2), self.band(3)), ((0, 0), (40, 47)))

    def test_end_below_anchor_gives_from_above_to(self):
        bpy.ops.selvo.grid_click(index=50)
        bpy.ops.selvo.pick(id=4)
        bpy.ops.selvo.grid_click(index=10)
        self.assertEqual(self.band(4), (50, 10))

    def test_abandoned_pick_changes_nothing_and_next_click_is_an_anchor(self):
        bpy.ops.selvo.grid_click(index=60)
        bpy.ops.selvo.pick(id=5)
        bpy.ops.selvo.pick_cancel()
        bpy.ops.selvo.grid_click(index=70)
        self.assertEqual((self.band(5), self.pick.anchor), ((0, 0), 70))


class PaletteImport(SceneSettingsKept):
    def test_hex_palette_fills_entries_from_start(self):
        props = bpy.context.scene.selvo
        before = props.palette()
        with open(path("two.hex"), "w") as f:
            f.write("#102030\nA0B0C0\n")
        bpy.ops.selvo.import_palette(filepath=path("two.hex"), start=16)
        after = props.palette()
        self.assertEqual(after[48:54], bytes((0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0)))
        self.assertEqual(after[:48] + after[54:], before[:48] + before[54:])

    def test_unreadable_palette_is_reported_and_changes_nothing(self):
        props = bpy.context.scene.selvo
        before = props.palette()
        with open(path("bad.gpl"), "w") as f:
            f.write("GIMP Palette\nnot a colour\n")
        with self.assertRaises(RuntimeError):
            bpy.ops.selvo.import_palette(filepath=path("bad.gpl"))
        self.assertEqual(props.palette(), before)


class StillRender(unittest.TestCase):
    def test_render_result_becomes_the_pcx_selvo_makes_of_its_save_as_render(self):
        scene = bpy.context.scene
        scene.frame_current = 2
        self.assertFalse(bpy.ops.selvo.palettize_render_result.poll())
        bpy.ops.render.render()
        self.assertTrue(bpy.ops.selvo.palettize_render_result.poll())
        # Whatever the output format: the still is saved as multilayer EXR
        # for the step, and the format given back.
        settings = scene.render.image_settings
        if hasattr(settings, "media_type"):
            settings.media_type = "IMAGE"
        settings.file_format, settings.color_mode, settings.color_depth = "PNG", "RGBA", "16"
        bpy.ops.selvo.palettize_render_result()
        self.assertEqual((settings.file_format, settings.color_depth), ("PNG", "16"))
        pcx = os.path.join(WORK, "pcx", "shot0002.pcx")
        # The same render result saved by hand: the colours as Save as
        # Render writes a 16-bit PNG, every pass as multilayer EXR.
        result = bpy.data.images["Render Result"]
        result.save_render(path("still.png"), scene=scene)
        bpy.ops.selvo.setup_scene()
        result.save_render(path("still.exr"), scene=scene)
        bpy.ops.selvo.export_settings(filepath=path("still.bin"))
        selvo("render", "--color", path("still.png"), "--ids", path("still.exr"), "--frame", "2",
              "--settings", path("still.bin"), "--output", path("still.pcx"), "-q")
        with open(pcx, "rb") as ours, open(path("still0002.pcx"), "rb") as theirs:
            self.assertEqual(ours.read(), theirs.read())
        preview = os.path.join(WORK, "pcx", "shot0002.png")
        self.assertIn(preview, [bpy.path.abspath(i.filepath) for i in bpy.data.images])
        self.assertIsNone(bpy.data.scenes.get(".selvo display colours"))


class Extras(unittest.TestCase):
    """On a scene of their own, so the other checks render without them."""

    def setUp(self):
        self.scene = bpy.data.scenes.new("extras")
        self.props = self.scene.selvo

    def tearDown(self):
        bpy.data.scenes.remove(self.scene)

    def test_selvo_gets_no_document_until_an_extra_is_chosen_then_the_scenes(self):
        runner = sys.modules[MODULE + ".runner"]
        with contextlib.ExitStack() as stack:
            self.assertEqual(runner.extras_arguments(stack, self.props), [])
            self.props.outline_neighbours = "8"  # changes no pixel by itself
            self.assertEqual(runner.extras_arguments(stack, self.props), [])
            self.props.ordered_dither_5 = "BAYER8"
            option, document = runner.extras_arguments(stack, self.props)
            with open(document) as f:
                chosen = json.load(f)
        self.assertEqual((option, chosen["ids"], chosen["outlines"]["neighbours"]),
                         ("--extras", {"5": {"outline": None, "dither": "bayer8"}}, 8))
        self.assertFalse(os.path.exists(document))

    def test_exported_document_is_what_selvo_config_writes_of_it(self):
        """Every key in selvo's order and every value as selvo reads it."""
        props = self.props
        props.matching, props.use_transparency, props.alpha_threshold = "OKLAB", True, 0.3
        props.use_transparent_index, props.transparent_index = True, 9
        props.transparent_ids = "300, 0 7,0"
        self.assertEqual(props.transparent_ids, "0, 7, 300")
        props.transparent_ids = "7, 65536"  # refused, kept as it was
        self.assertEqual(props.transparent_ids, "0, 7, 300")
        props.outline_neighbours, props.outline_background_only = "8", True
        for band, index, dither in ((0, 250, "NONE"), (3, None, "BAYER4"), (15, 0, "BAYER8")):
            props.use_outline[band] = index is not None
            props.outline_index[band] = index or 0
            setattr(props, f"ordered_dither_{band}", dither)
        with bpy.context.temp_override(scene=self.scene):
            bpy.ops.selvo.export_extras(filepath=path("extras.json"))
        shown = subprocess.run([SELVO, "config", "show", path("extras.json"), "--json"],
                               check=True, capture_output=True).stdout
        with open(path("extras.json"), "rb") as f:
            self.assertEqual(f.read(), shown)


class PanelIcons(unittest.TestCase):
    def test_editing_the_palette_never_grows_the_icon_cache_past_its_bound(self):
        icons = sys.modules[MODULE + ".ui"]._icons
        rng = random.Random(5)
        for _ in range(2 * icons.CAPACITY):
            icons.icon(bytes(rng.randrange(256) for _ in range(3)), "band")
        self.assertEqual(len(icons.previews), icons.CAPACITY)
        newest = icons.icon(b"\x01\x02\x03", "")
        self.assertEqual(icons.icon(b"\x01\x02\x03", ""), newest)
        self.assertEqual(len(icons.previews), icons.CAPACITY)


result = unittest.main(argv=["blender_checks"], exit=False, verbosity=2).result
sys.exit(0 if result.wasSuccessful() else 1)
