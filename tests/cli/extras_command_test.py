"""The extras and sprite sheets through the built `selvo`, as a user runs
it, with everything it writes read back by Pillow, which shares no code with
it. Only what the extras' unit tests cannot reach is pinned here: the
command's handling of documents, alpha from the inputs, the preview's tRNS,
and `selvo sheet`.

Usage: extras_command_test.py SELVO"""
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest

from PIL import GifImagePlugin, Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "testing"))
from selvo_inputs import default_palette, pcx_file, settings_block  # noqa: E402

SELVO = None


def png_chunk(path, kind):
    """The data of the first chunk of `kind` in a PNG file, or None."""
    with open(path, "rb") as png:
        data = png.read()
    at = 8
    while at < len(data):
        length, name = struct.unpack(">I4s", data[at:at + 8])
        if name == kind:
            return data[at + 8:at + 8 + length]
        at += 12 + length
    return None


def indices_of(path):
    with Image.open(path) as image:
        assert image.mode == "P", image.mode
        return image.size, list(image.getdata())


class Scratch(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.dir = self.folder.name

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb" if isinstance(data, bytes) else "w") as out:
            out.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as file:
            return file.read()

    def selvo(self, *args):
        return subprocess.run([SELVO, *args], cwd=self.dir, capture_output=True, text=True)

    def files(self):
        return sorted(os.listdir(self.dir))


class RenderWithExtras(Scratch):
    """5 x 3 pixels, all of material ID 1, whose band is the one entry 16:
    every opaque pixel the mapping reaches is 16, so each other index comes
    from an extra."""

    def setUp(self):
        super().setUp()
        self.write("s.bin", settings_block(name=b"t.pcx", ranges=[(0, 0, 0), (16, 16, 0)]))
        Image.new("L", (5, 3), 1).save(self.path("ids.png"))

    def document(self, *options):
        self.assertEqual(self.selvo("config", "init", "x.json", "--force").returncode, 0)
        result = self.selvo("config", "set", "x.json", *options)
        self.assertEqual(result.returncode, 0, result.stderr)

    def render(self, color):
        color.save(self.path("color.png"))
        return self.selvo("render", "--color", "color.png", "--ids", "ids.png", "--settings",
                          "s.bin", "--extras", "x.json", "--preview", "p.png")

    def test_transparent_edge_reaches_the_pcx_and_the_previews_trns(self):
        # Columns 0 and 1 transparent (alpha 127 < 0.5), the rest opaque.
        color = Image.new("RGBA", (5, 3), (90, 90, 90, 255))
        for y in range(3):
            color.putpixel((0, y), (90, 90, 90, 0))
            color.putpixel((1, y), (90, 90, 90, 127))
        self.document("--transparency", "on", "--transparent-index", "200", "--outline", "1=40")
        result = self.render(color)
        self.assertEqual(result.returncode, 0, result.stderr)
        # Column 2 borders a transparent pixel: outlined. Column 4 borders
        # the frame's edge only, which draws no outline.
        expected = [200, 200, 40, 16, 16] * 3
        self.assertEqual(indices_of(self.path("t0000.pcx")), ((5, 3), expected))
        self.assertEqual(indices_of(self.path("p.png")), ((5, 3), expected))
        self.assertEqual(png_chunk(self.path("p.png"), b"tRNS"), bytes([255] * 200 + [0]))

    def test_input_without_alpha_is_opaque_unless_its_ids_are_listed(self):
        color = Image.new("RGB", (5, 3), (90, 90, 90))
        self.document("--transparency", "on", "--outline", "1=40")
        self.assertEqual(self.render(color).returncode, 0)
        self.assertEqual(indices_of(self.path("t0000.pcx"))[1], [16] * 15)
        self.assertEqual(png_chunk(self.path("p.png"), b"tRNS"), bytes([0]))  # ID 0's From

        ids = Image.new("L", (5, 3), 1)
        for y in range(3):
            ids.putpixel((0, y), 0)
        ids.save(self.path("ids.png"))
        self.document("--transparency", "on", "--transparent-ids", "0", "--outline", "1=40")
        self.assertEqual(self.render(color).returncode, 0)
        self.assertEqual(indices_of(self.path("t0000.pcx"))[1], [0, 40, 16, 16, 16] * 3)

    def test_a_document_choosing_nothing_renders_as_without_one(self):
        color = Image.new("RGBA", (5, 3), (90, 90, 90, 0))
        self.document("--outline", "1=none")
        self.assertEqual(self.render(color).returncode, 0)
        with_document = self.read("t0000.pcx")
        self.assertIsNone(png_chunk(self.path("p.png"), b"tRNS"))
        self.assertEqual(self.selvo("render", "--color", "color.png", "--ids", "ids.png",
                                    "--settings", "s.bin").returncode, 0)
        self.assertEqual(self.read("t0000.pcx"), with_document)

    def test_document_errors_name_the_key_or_option_and_change_nothing(self):
        self.write("x.json", '{"version": 1, "outlines": {"neighbours": 6}}')
        Image.new("RGB", (5, 3)).save(self.path("color.png"))
        result = self.render(Image.new("RGB", (5, 3)))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr,
                         'selvo: x.json: "outlines.neighbours" must be 4 or 8, not 6\n')
        self.assertNotIn("t0000.pcx", self.files())

        self.document("--outline", "3=7")
        before = self.read("x.json")
        for option, value, message in [
                ("--outline", "16=3", "--outline 16=3: expected ID=INDEX or ID=none "
                                      "(ID 0..15, INDEX 0..255)"),
                ("--alpha-threshold", "2", "--alpha-threshold 2: expected a number from 0 to 1"),
                ("--colour", "3", "config set: unknown option --colour for an extras document")]:
            result = self.selvo("config", "set", "x.json", "--matching", "oklab", option, value)
            self.assertEqual((result.returncode, result.stderr), (1, f"selvo: {message}\n"))
            self.assertEqual(self.read("x.json"), before)
        shown = self.selvo("config", "show", "x.json").stdout
        self.assertIn("matching         rgb (the filter's own)\n", shown)
        self.assertIn("                  3        7  none\n", shown)


def palette(seed):
    return bytes((seed + 37 * i) % 256 for i in range(768))


class Sheet(Scratch):
    """Three frames of odd sizes: 3 x 2, 5 x 4 and 2 x 5, each pixel's index
    its frame's number times 50 plus its position."""
    SIZES = [(3, 2), (5, 4), (2, 5)]

    def setUp(self):
        super().setUp()
        self.frames = []
        for f, (w, h) in enumerate(self.SIZES):
            indices = [(50 * (f + 1) + i) % 256 for i in range(w * h)]
            self.frames.append(indices)
            self.write(f"f{f}.pcx", pcx_file(w, h, indices, palette(1)))

    def cell(self, f, width, height, fill):
        """Frame f at the top-left of a cell of width x height, the rest fill."""
        w, h = self.SIZES[f]
        return [self.frames[f][y * w + x] if x < w and y < h else fill
                for y in range(height) for x in range(width)]

    def test_sheet_of_odd_sized_frames_and_its_json(self):
        os.mkdir(self.path("out"))
        os.mkdir(self.path("data"))
        result = self.selvo("sheet", "f0.pcx", "f1.pcx", "f2.pcx", "--sheet", "out/s.png",
                            "--data", "data/s.json", "--transparent", "9")
        self.assertEqual(result.returncode, 0, result.stderr)
        # A near-square grid: 2 columns, 2 rows of 5 x 5 cells.
        (size, sheet) = indices_of(self.path("out/s.png"))
        self.assertEqual(size, (10, 10))
        for f, (x0, y0) in enumerate([(0, 0), (5, 0), (0, 5)]):
            cell = [sheet[(y0 + y) * 10 + x0 + x] for y in range(5) for x in range(5)]
            self.assertEqual(cell, self.cell(f, 5, 5, 9), f"frame {f}")
        self.assertEqual(set(sheet[55 + y * 10 + x] for y in range(5) for x in range(5)), {9})
        with Image.open(self.path("out/s.png")) as image:
            self.assertEqual(bytes(image.getpalette()[:768]), palette(1))
        self.assertEqual(png_chunk(self.path("out/s.png"), b"tRNS"), bytes([255] * 9 + [0]))

        with open(self.path("data/s.json")) as data:
            document = json.load(data)
        self.assertEqual(list(document["frames"]), ["f0.pcx", "f1.pcx", "f2.pcx"])
        self.assertEqual(document["frames"]["f1.pcx"], {
            "frame": {"x": 5, "y": 0, "w": 5, "h": 4}, "rotated": False, "trimmed": False,
            "spriteSourceSize": {"x": 0, "y": 0, "w": 5, "h": 4},
            "sourceSize": {"w": 5, "h": 4}, "duration": 84})
        self.assertEqual([frame["duration"] for frame in document["frames"].values()],
                         [83, 84, 83])  # 12 fps: 1000 / 12 carried over
        meta = document["meta"]
        self.assertEqual((meta["app"], meta["image"], meta["format"], meta["size"],
                          meta["scale"]), ("selvo", "../out/s.png", "I8", {"w": 10, "h": 10}, "1"))

    def test_gif_read_back_frame_by_frame(self):
        result = self.selvo("sheet", "f0.pcx", "f1.pcx", "f2.pcx", "--gif", "a.gif", "--fps",
                            "30", "--transparent", "9")
        self.assertEqual(result.returncode, 0, result.stderr)
        GifImagePlugin.LOADING_STRATEGY = \
            GifImagePlugin.LoadingStrategy.RGB_AFTER_DIFFERENT_PALETTE_ONLY
        with Image.open(self.path("a.gif")) as gif:
            self.assertEqual((gif.size, gif.n_frames, gif.info["loop"]), ((5, 5), 3, 0))
            self.assertEqual(bytes(gif.getpalette()[:768]), palette(1))
            durations = []
            for f in range(3):
                gif.seek(f)
                self.assertEqual(gif.mode, "P")
                self.assertEqual(list(gif.getdata()), self.cell(f, 5, 5, 9), f"frame {f}")
                self.assertEqual((gif.disposal_method, gif.info["transparency"]), (2, 9))
                durations.append(gif.info["duration"])
        # 30 fps in hundredths: 3, 4, 3 (frame k ends at round(10 (k + 1) / 3)).
        self.assertEqual(durations, [30, 40, 30])

    def test_refusals_write_nothing(self):
        self.write("other.pcx", pcx_file(2, 2, [1, 2, 3, 4], palette(2)))
        cases = [
            (["f0.pcx", "--gif", "f0.pcx"], 1,
             "selvo: f0.pcx (--gif) is the frame f0.pcx; nothing was written\n"),
            (["f0.pcx", "--sheet", "s.png", "--gif", "s.png"], 1,
             "selvo: s.png (--gif) is the same file as --sheet; nothing was written\n"),
            (["f0.pcx", "other.pcx", "--sheet", "s.png"], 1,
             "selvo: other.pcx: its palette differs from that of f0.pcx; "
             "the frames of a sheet share one palette\n"),
            (["f0.pcx", "--data", "s.json"], 2,
             "selvo: sheet: --data describes a sheet: give --sheet too\n"
             "Try 'selvo sheet --help'.\n"),
            (["f0.pcx", "--fps", "51", "--gif", "a.gif"], 2,
             "selvo: sheet: --fps 51: expected 1..50\nTry 'selvo sheet --help'.\n"),
        ]
        before = self.files()
        frame = self.read("f0.pcx")
        for args, status, message in cases:
            result = self.selvo("sheet", *args)
            self.assertEqual((result.returncode, result.stderr), (status, message), args)
            self.assertEqual(self.files(), before, args)
        self.assertEqual(self.read("f0.pcx"), frame)


if __name__ == "__main__":
    SELVO = os.path.abspath(sys.argv.pop(1))
    unittest.main()
