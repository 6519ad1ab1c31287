"""The Blender add-on on one Blender, installed from the built zip as
docs/blender.md says and driven as artists and render farms drive it.
The Blender is Debian 12's own or one that scripts/blender-chroots.sh put
into a Debian root of the build tree, entered by scripts/chroot-run.sh.

test_addon.py --selvo SELVO --zip ZIP --blender BLENDER [-k NAME]...
test_addon.py --selvo SELVO --zip ZIP --chroot ROOT --selvo-inside SELVO
Exits 77 (skipped), saying why, when that Blender is missing or not set up."""

import argparse
import collections
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

from blender_process import SOURCE, Blender, chroot_blender, chroot_problem, python

HERE = os.path.dirname(os.path.abspath(__file__))
FRAMES = (1, 2, 3)
ERROR_MARK = "Selvo: error:"
SKIPPED = 77
TRANSPARENT, OUTLINE = 255, 7
# Transparency at its own index, the sphere (ID 2) outlined against the
# sky, a Bayer pattern on the cube (ID 3).
EXTRAS_CHOSEN = ("p = scene.selvo; p.use_transparency = p.use_transparent_index = True; "
                 f"p.transparent_index = {TRANSPARENT}; p.use_outline[2] = True; "
                 f"p.outline_index[2] = {OUTLINE}; p.ordered_dither_3 = 'BAYER4'")


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--selvo", required=True, help="selvo to check the add-on's files with")
    parser.add_argument("--zip", required=True)
    parser.add_argument("--blender", help="a Blender on this system")
    parser.add_argument("--chroot", help="a Debian root made by scripts/blender-chroots.sh")
    parser.add_argument("--selvo-inside", help="selvo as Blender in the root runs it")
    args, rest = parser.parse_known_args()
    for name in ("selvo", "zip", "chroot", "selvo_inside"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    return args, rest


ARGS, UNITTEST_ARGS = parse_arguments()


def blender_command():
    """The command that starts Blender, and the selvo it finds on PATH."""
    if not ARGS.chroot:
        return [ARGS.blender], ARGS.selvo
    shared = [SOURCE, os.path.dirname(os.path.abspath(ARGS.zip)), tempfile.gettempdir(),
              os.path.dirname(ARGS.selvo_inside)]
    return chroot_blender(ARGS.chroot, shared), ARGS.selvo_inside


def read(path):
    with open(path, "rb") as f:
        return f.read()


def image_indices(path):
    """The palette indices of an indexed image (PCX, PNG), row by row."""
    with Image.open(path) as image:
        return list(image.getdata())


class AddonTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="selvo-blender-")
        cls.blender = Blender(*blender_command(), cls.root)
        print(f"Blender {cls.blender.version[0]}.{cls.blender.version[1]}, the add-on as "
              f"{cls.blender.module}", file=sys.stderr)
        code, output = cls.blender.install(ARGS.zip)
        assert code == 0, output
        cls.scene = os.path.join(cls.root, "scene.blend")
        code, output = cls.blender.make_scene(cls.scene)
        assert code == 0 and os.path.exists(cls.scene), output

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def copy_scene(self, name, folder=None):
        folder = os.path.join(self.root, folder or name)
        os.makedirs(folder)
        shutil.copy(self.scene, folder)
        return os.path.join(folder, "scene.blend")

    def render(self, blend, first, last, *before, after=()):
        """Renders frames `first` to `last` as an animation, with the Python
        expressions `before` run first and `after` run once it is done."""
        args = [blend]
        for expression in before:
            args += ["--python-expr", python(expression)]
        args += ["-s", str(first), "-e", str(last), "-a"]
        for expression in after:
            args += ["--python-expr", python(expression)]
        code, output = self.blender.run(*args)
        self.assertEqual(code, 0, output)
        self.assertNotIn(ERROR_MARK, output)
        return output

    def export_settings(self, blend, operator="export_settings", name="exported.bin"):
        settings = os.path.join(os.path.dirname(blend), name)
        code, output = self.blender.run(blend, "--python-expr", python(
            f"bpy.ops.selvo.{operator}(filepath={settings!r})"))
        self.assertEqual(code, 0, output)
        return settings

    def export_extras(self, blend):
        return self.export_settings(blend, "export_extras", "exported.json")

    def save_as_render(self, blend, frames):
        """Blender's own Save as Render PNG of each frame: {frame: path}."""
        folder = os.path.dirname(blend)
        code, output = self.blender.run(blend, "-P", os.path.join(HERE, "save_as_render.py"),
                                        "--", folder, *map(str, frames))
        self.assertEqual(code, 0, output)
        return {frame: os.path.join(folder, "render%04d.png" % frame) for frame in frames}

    def assert_pcx_is_selvos(self, pcx, color, ids, settings, frame, extras=()):
        """The add-on's PCX equals selvo's own, run afterwards on the same
        inputs with the scene's settings (and `extras`, its exported
        document's ["--extras", FILE]) exported to a file."""
        with tempfile.TemporaryDirectory(dir=self.root) as folder:
            subprocess.run([ARGS.selvo, "render", "--color", color, "--ids", ids,
                            "--settings", settings, *extras, "--frame", str(frame),
                            "--output", "check.pcx", "-q"], cwd=folder, check=True)
            self.assertEqual(read(pcx), read(os.path.join(folder, "check%04d.pcx" % frame)), pcx)

    def assert_frames_are_selvos(self, blend, frames, colors=None, extras=()):
        """Every frame's PCX and preview beside it: the PCX is selvo's from
        `colors` (the EXR frame when None) and the EXR's IDs."""
        folder = os.path.dirname(blend)
        settings = self.export_settings(blend)
        for frame in frames:
            exr = os.path.join(folder, "frames", "f_%04d.exr" % frame)
            pcx = os.path.join(folder, "pcx", "shot%04d.pcx" % frame)
            color = colors[frame] if colors else exr
            self.assert_pcx_is_selvos(pcx, color, exr, settings, frame, extras)
            self.assertEqual(read(pcx[:-4] + ".png")[1:4], b"PNG")

    def test_extension_package_passes_blenders_checks(self):
        if not self.blender.extension:
            self.skipTest("extensions came with Blender 4.2")
        self.assertIn(f"Success parsing TOML in \"{ARGS.zip}\"",
                      self.blender.output("--command", "extension", "validate", ARGS.zip))
        stage = os.path.join(os.path.dirname(ARGS.zip), "blender", "stage", "selvo")
        built = self.blender.output("--command", "extension", "build", "--source-dir", stage,
                                    "--output-dir", self.root)
        self.assertRegex(built, r"created: .*selvo-\d+\.\d+\.\d+\.zip")

    def test_workstation_render_in_the_colours_seen(self):
        """The default: the colours of Blender's Save as Render; nothing of
        the scratch work is left in the file."""
        blend = self.copy_scene("workstation")
        output = self.render(blend, FRAMES[0], FRAMES[-1], after=[
            "print('IDs left:', sorted(i.name for c in (bpy.data.scenes, bpy.data.images) "
            "for i in c))"])
        self.assertIn("IDs left: ['Scene']", output)
        self.assert_frames_are_selvos(blend, FRAMES, self.save_as_render(blend, FRAMES))

    def test_view_transforms_looks_exposure_and_curves(self):
        looks = {
            "filmic": "v.view_transform = 'Filmic'; v.look = 'High Contrast'; v.exposure = 0.7",
            "agx": "v.view_transform = 'AgX'; v.look = 'AgX - High Contrast'; "
                   "v.exposure = -0.4; v.gamma = 1.3",
            "standard": "v.view_transform = 'Standard'; v.use_curve_mapping = True; "
                        "v.curve_mapping.curves[3].points[1].location = (1.0, 0.6); "
                        "v.curve_mapping.update()",
        }
        if self.blender.version < (4, 0):
            del looks["agx"]
        for name, change in looks.items():
            with self.subTest(name):
                blend = self.copy_scene(name)
                self.render(blend, 2, 2, "v = scene.view_settings; " + change +
                            "; bpy.ops.wm.save_mainfile()")
                self.assert_frames_are_selvos(blend, [2], self.save_as_render(blend, [2]))

    def test_two_farm_workers_share_one_folder(self):
        """Scene-linear colours through the sRGB curve, the panel's other
        choice, are selvo's from the EXR alone."""
        blend = self.copy_scene("farm")
        code, output = self.blender.run(blend, "--python-expr", python(
            "scene.selvo.colors = 'LINEAR'; bpy.ops.wm.save_mainfile()"))
        self.assertEqual(code, 0, output)
        workers = [self.blender.start(blend, "-s", "1", "-e", "2", "-a"),
                   self.blender.start(blend, "-s", "3", "-e", "3", "-a")]
        for worker in workers:
            output, _ = worker.communicate(timeout=600)
            self.assertEqual(worker.returncode, 0, output)
            self.assertNotIn(ERROR_MARK, output)
        folder = os.path.dirname(blend)
        self.assert_frames_are_selvos(blend, FRAMES)
        leftovers = [n for n in os.listdir(os.path.join(folder, "pcx")) if not n.startswith("shot")]
        self.assertEqual(leftovers, [])

    def test_output_names_are_blender_paths(self):
        """//, absolute and plain relative names, from a .blend in a folder
        whose name holds a "." that selvo would cut at."""
        blend = self.copy_scene("paths", folder="shot.v1")
        folder = os.path.dirname(blend)
        elsewhere = os.path.join(self.root, "elsewhere")
        cases = {"//beside/a.pcx": os.path.join(folder, "beside", "a0001.pcx"),
                 "//../up/b.pcx": os.path.join(self.root, "up", "b0001.pcx"),
                 os.path.join(elsewhere, "c.pcx"): os.path.join(elsewhere, "c0001.pcx"),
                 "plain/d.final.pcx": os.path.join(folder, "plain", "d0001.pcx")}
        # Each name rendered in one Blender, the last once more by -a.
        renders = [f"scene.selvo.output_name = {name!r}; "
                   "bpy.ops.render.render(animation=True)" for name in cases]
        self.render(blend, 1, 1, "scene.selvo.colors = 'LINEAR'", *renders)
        for name, path in cases.items():
            with self.subTest(name):
                self.assertTrue(os.path.exists(path), sorted(os.listdir(folder)))

    def test_each_view_of_a_stereo_render_gets_its_own_pcx(self):
        blend = self.copy_scene("stereo")
        self.render(blend, 1, 1, "scene.render.use_multiview = True; "
                    "scene.render.views_format = 'STEREO_3D'; scene.selvo.colors = 'LINEAR'; "
                    "bpy.ops.selvo.setup_scene(); bpy.ops.wm.save_mainfile()")
        folder = os.path.dirname(blend)
        settings = self.export_settings(blend)
        for suffix in ("_L", "_R"):
            with self.subTest(suffix):
                exr = os.path.join(folder, "frames", f"f_0001{suffix}.exr")
                self.assert_pcx_is_selvos(os.path.join(folder, "pcx", f"shot{suffix}0001.pcx"),
                                          exr, exr, settings, 1)

    def test_transparent_film_with_transparency_and_outlines_is_selvos_with_the_extras(self):
        """The set-up turns the transparent film on for Transparency; the
        colours handed to selvo carry the render's alpha on both routes, so
        the sky takes the transparent index and ID 2's edge against it its
        outline, as selvo makes them from the exported document."""
        for colors in ("DISPLAY", "LINEAR"):
            with self.subTest(colors):
                blend = self.copy_scene("extras_" + colors.lower())
                self.render(blend, 2, 2, EXTRAS_CHOSEN + f"; p.colors = {colors!r}; "
                            "bpy.ops.selvo.setup_scene(); bpy.ops.wm.save_mainfile()")
                references = self.save_as_render(blend, [2]) if colors == "DISPLAY" else None
                extras = ["--extras", self.export_extras(blend)]
                self.assert_frames_are_selvos(blend, [2], references, extras)
                pcx = os.path.join(os.path.dirname(blend), "pcx", "shot0002.pcx")
                counts = collections.Counter(image_indices(pcx))
                self.assertGreater(counts[TRANSPARENT], 0)
                self.assertGreater(counts[OUTLINE], 0)
                with Image.open(pcx[:-4] + ".png") as preview:
                    self.assertEqual(preview.info.get("transparency"), TRANSPARENT)

    def test_animation_makes_its_sprite_sheet_and_gif(self):
        """One selvo sheet call after the render, over the frames it wrote,
        with the transparent index, the chosen frame rate and columns; the
        operator makes the same files again from the frame range's PCX."""
        blend = self.copy_scene("sheet")
        folder = os.path.join(os.path.dirname(blend), "pcx")
        made = [os.path.join(folder, "shot_0001-0003" + ext) for ext in (".png", ".json", ".gif")]
        again = ("import os\n" f"for f in {made!r}: os.replace(f, f + '.first')\n"
                 "bpy.ops.selvo.make_sheet()")
        output = self.render(blend, 1, 3, EXTRAS_CHOSEN + "; p.make_sheet = p.make_gif = True; "
                             "p.use_scene_fps = False; p.sheet_fps = 10; p.sheet_columns = 2",
                             after=[again])
        self.assertIn("Selvo: info: wrote " + ", ".join(made), output)
        for path in made:
            self.assertEqual(read(path), read(path + ".first"), path)
        with open(made[1]) as f:
            data = list(json.load(f)["frames"].values())
        self.assertEqual([d["duration"] for d in data], [100] * 3)
        with Image.open(made[0]) as sheet:
            self.assertEqual((sheet.mode, sheet.size), ("P", (80, 60)))  # 2 columns of 40x30
            for frame, d in zip(FRAMES, data):
                box = d["frame"]
                cell = sheet.crop((box["x"], box["y"], box["x"] + box["w"], box["y"] + box["h"]))
                pcx = os.path.join(folder, "shot%04d.pcx" % frame)
                self.assertEqual(list(cell.getdata()), image_indices(pcx))
        with Image.open(made[2]) as gif:
            # Pillow gives the first frame as indices, the later ones as colours.
            self.assertEqual((gif.n_frames, gif.info["transparency"]), (len(FRAMES), TRANSPARENT))
            self.assertEqual(list(gif.getdata()), image_indices(pcx[:-8] + "0001.pcx"))
            for i in range(len(FRAMES)):
                gif.seek(i)
                self.assertEqual(gif.info["duration"], 100)

    def test_each_problem_is_reported_and_the_render_kept(self):
        """A problem of the set-up is reported once per render, a frame that
        selvo refuses once per frame; Blender's frames are all written."""
        no_selvo = dict(self.blender.env, PATH="/usr/bin:/bin")
        cases = {
            "missing_selvo": ("", no_selvo, ["selvo was not found on PATH"]),
            "missing_pass": ("bpy.context.view_layer.use_pass_object_index = False", None,
                             ["Object Index pass"]),
            "not_multilayer": ("s = scene.render.image_settings\n"
                               "if hasattr(s, 'media_type'): s.media_type = 'IMAGE'\n"
                               "s.file_format = 'OPEN_EXR'", None, ["not OpenEXR MultiLayer"]),
            "views_in_one_file": ("scene.render.use_multiview = True\n"
                                  "scene.render.image_settings.views_format = 'MULTIVIEW'",
                                  None, ["views are not written as individual files"]),
            # The material channel holds IDs up to 255; selvo refuses 300.
            "refused_frame": ("scene.selvo.source = 'MATERIAL'; "
                              "bpy.data.materials['m2'].pass_index = 300", None,
                              ["frame 1: selvo:", "frame 2: selvo:"]),
            "wrong_preference": (f"bpy.context.preferences.addons[{self.blender.module!r}]"
                                 ".preferences.selvo_path = '/nowhere/selvo'", None,
                                 ["selvo is not at /nowhere/selvo"]),
        }
        for name, (change, env, messages) in cases.items():
            with self.subTest(name):
                blend = self.copy_scene(name)
                folder = os.path.dirname(blend)
                code, output = self.blender.run(blend, "--python-expr", python(change),
                                                "-s", "1", "-e", "2", "-a", env=env)
                self.assertEqual(code, 0, output)
                reports = [line for line in output.splitlines() if ERROR_MARK in line]
                self.assertEqual(len(reports), len(messages), output)
                for report, message in zip(reports, messages):
                    self.assertIn(message, report)
                self.assertEqual(len(os.listdir(os.path.join(folder, "frames"))), 2)
                self.assertFalse(os.path.exists(os.path.join(folder, "pcx", "shot0001.pcx")))

    def run_ui(self, blend, script, *args):
        """Blender's UI under Xvfb, on Mesa's software OpenGL; its stdout."""
        if not shutil.which("xvfb-run"):
            self.skipTest("xvfb-run is not installed")
        process = subprocess.run(
            ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", *self.blender.command, blend,
             "-noaudio", "--enable-event-simulate", "-P", os.path.join(HERE, script), *args],
            env=dict(self.blender.env, LIBGL_ALWAYS_SOFTWARE="1"), cwd=self.root,
            capture_output=True, text=True, timeout=600)
        self.assertNotIn(ERROR_MARK, process.stderr)
        return process.stdout + process.stderr

    def test_escape_and_right_click_abandon_a_pick_in_the_ui(self):
        output = self.run_ui(self.copy_scene("ui"), "ui_pick.py")
        self.assertIn("abandoned ESC: pending False, band (0, 0)", output)
        self.assertIn("abandoned RIGHTMOUSE: pending False, band (0, 0)", output)
        self.assertIn("then a click sets the anchor: 9, band (0, 0)", output)

    def test_animation_rendered_in_the_ui_matches_its_save_as_render(self):
        """Rendered as Ctrl-F12 renders, palettizing runs beside Blender's
        UI; the reference is the Image Editor's own Save as Render."""
        blend = self.copy_scene("ui_render")
        png = os.path.join(os.path.dirname(blend), "saved_as_render.png")
        output = self.run_ui(blend, "ui_render.py", "--", png)
        self.assertIn("IDs left: ['Scene']", output)
        self.assertIn("saved as render", output)
        self.assert_frames_are_selvos(blend, [2], {2: png})
        written = os.listdir(os.path.join(os.path.dirname(blend), "pcx"))
        self.assertLessEqual({"shot0001.pcx", "shot0003.pcx"}, set(written))

    def test_checks_inside_blender(self):
        blend = self.copy_scene("inside")
        code, output = self.blender.run(blend, "-P", os.path.join(HERE, "blender_checks.py"),
                                        "--", self.blender.selvo, os.path.dirname(blend),
                                        self.blender.module)
        self.assertEqual(code, 0, output)


def skip_reason():
    if ARGS.chroot:
        problem = chroot_problem(ARGS.chroot)
        return problem and f"the Blender of {ARGS.chroot}: {problem}"
    if not shutil.which(ARGS.blender):
        return (f"Blender ({ARGS.blender}) is not installed; scripts/install-deps.sh "
                "installs Debian's blender")
    return None


if __name__ == "__main__":
    reason = skip_reason()
    if reason:
        print("skipped:", reason)
        sys.exit(SKIPPED)
    unittest.main(argv=sys.argv[:1] + UNITTEST_ARGS, verbosity=2)  # -k NAME picks tests
