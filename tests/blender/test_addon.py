"""The Blender add-on, installed from the built zip into a scratch
BLENDER_USER_SCRIPTS, driven as artists and render farms drive it.

test_addon.py BLENDER SELVO ZIP; exits 77 (skipped) without Blender."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
BLENDER, SELVO, ZIP = sys.argv[1:4]
FRAMES = (1, 2, 3)
ERROR_MARK = "Selvo: error:"


class Blender:
    """Blender processes that share one scratch user folder with the add-on
    installed from the zip and enabled, as on a farm worker."""

    def __init__(self, root):
        self.root = root
        self.env = dict(os.environ,
                        BLENDER_USER_SCRIPTS=os.path.join(root, "scripts"),
                        BLENDER_USER_CONFIG=os.path.join(root, "config"),
                        PATH=os.path.dirname(SELVO) + os.pathsep + os.environ["PATH"])

    def start(self, *args, env=None, cwd=None):
        return subprocess.Popen([BLENDER, "-b", "-noaudio", *args], env=env or self.env,
                                cwd=cwd or self.root, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)

    def run(self, *args, env=None):
        process = self.start(*args, env=env)
        output, _ = process.communicate(timeout=300)
        return process.returncode, output


def read(path):
    with open(path, "rb") as f:
        return f.read()


class AddonTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="selvo-blender-")
        cls.blender = Blender(cls.root)
        code, output = cls.blender.run("--python-expr", (
            "import bpy\n"
            f"bpy.ops.preferences.addon_install(filepath={ZIP!r})\n"
            "bpy.ops.preferences.addon_enable(module='selvo')\n"
            "bpy.ops.wm.save_userpref()\n"))
        assert code == 0, output
        cls.scene = os.path.join(cls.root, "scene.blend")
        code, output = cls.blender.run("-P", os.path.join(HERE, "make_scene.py"), "--", cls.scene)
        assert code == 0 and os.path.exists(cls.scene), output

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def copy_scene(self, name):
        folder = os.path.join(self.root, name)
        os.makedirs(folder)
        shutil.copy(self.scene, folder)
        return os.path.join(folder, "scene.blend")

    def assert_frames_match_selvo(self, folder):
        """Each PCX the add-on wrote equals selvo's own, run afterwards on
        the same EXR frame with the scene's settings exported to a file."""
        blend = os.path.join(folder, "scene.blend")
        settings = os.path.join(folder, "exported.bin")
        code, output = self.blender.run(blend, "--python-expr",
                                        f"import bpy; bpy.ops.selvo.export_settings(filepath={settings!r})")
        self.assertEqual(code, 0, output)
        for frame in FRAMES:
            exr = os.path.join(folder, "frames", "f_%04d.exr" % frame)
            subprocess.run([SELVO, "render", "--color", exr, "--ids", exr, "--settings", settings,
                            "--frame", str(frame), "--output", "check.pcx", "-q"],
                           cwd=folder, check=True)
            self.assertEqual(read(os.path.join(folder, "pcx", "shot%04d.pcx" % frame)),
                             read(os.path.join(folder, "check%04d.pcx" % frame)))
            self.assertEqual(read(os.path.join(folder, "pcx", "shot%04d.png" % frame))[1:4], b"PNG")

    def test_workstation_animation_render(self):
        blend = self.copy_scene("workstation")
        code, output = self.blender.run(blend, "-s", "1", "-e", "3", "-a")
        self.assertEqual(code, 0, output)
        self.assertNotIn(ERROR_MARK, output)
        self.assert_frames_match_selvo(os.path.dirname(blend))

    def test_two_farm_workers_share_one_folder(self):
        blend = self.copy_scene("farm")
        workers = [self.blender.start(blend, "-s", "1", "-e", "2", "-a"),
                   self.blender.start(blend, "-s", "3", "-e", "3", "-a")]
        for worker in workers:
            output, _ = worker.communicate(timeout=300)
            self.assertEqual(worker.returncode, 0, output)
            self.assertNotIn(ERROR_MARK, output)
        folder = os.path.dirname(blend)
        self.assert_frames_match_selvo(folder)
        leftovers = [n for n in os.listdir(os.path.join(folder, "pcx")) if not n.startswith("shot")]
        self.assertEqual(leftovers, [])

    def test_each_problem_is_reported_and_the_render_kept(self):
        """A problem of the set-up is reported once per render, a frame that
        selvo refuses once per frame; Blender's frames are all written."""
        no_selvo = dict(self.blender.env, PATH="/usr/bin:/bin")
        cases = {
            "missing_selvo": ("", no_selvo, ["selvo was not found on PATH"]),
            "missing_pass": ("bpy.context.view_layer.use_pass_object_index = False", None,
                             ["Object Index pass"]),
            "not_multilayer": ("bpy.context.scene.render.image_settings.file_format = 'OPEN_EXR'",
                               None, ["not OpenEXR MultiLayer"]),
            # The material channel holds IDs up to 255; selvo refuses 300.
            "refused_frame": ("s = bpy.context.scene; s.selvo.source = 'MATERIAL'; "
                              "bpy.data.materials['m2'].pass_index = 300", None,
                              ["frame 1: selvo:", "frame 2: selvo:"]),
            "wrong_preference": ("bpy.context.preferences.addons['selvo'].preferences.selvo_path"
                                 " = '/nowhere/selvo'", None, ["selvo is not at /nowhere/selvo"]),
        }
        for name, (change, env, messages) in cases.items():
            with self.subTest(name):
                blend = self.copy_scene(name)
                folder = os.path.dirname(blend)
                code, output = self.blender.run(blend, "--python-expr", "import bpy; " + change,
                                                "-s", "1", "-e", "2", "-a", env=env)
                self.assertEqual(code, 0, output)
                reports = [line for line in output.splitlines() if ERROR_MARK in line]
                self.assertEqual(len(reports), len(messages), output)
                for report, message in zip(reports, messages):
                    self.assertIn(message, report)
                self.assertEqual(len(os.listdir(os.path.join(folder, "frames"))), 2)
                self.assertFalse(os.path.exists(os.path.join(folder, "pcx", "shot0001.pcx")))

    @unittest.skipUnless(shutil.which("xvfb-run"), "xvfb-run is not installed")
    def test_escape_and_right_click_abandon_a_pick_in_the_ui(self):
        blend = self.copy_scene("ui")
        process = subprocess.run(
            ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", BLENDER, blend, "-noaudio",
             "--enable-event-simulate", "-P", os.path.join(HERE, "ui_pick.py")],
            env=dict(self.blender.env, LIBGL_ALWAYS_SOFTWARE="1"), capture_output=True,
            text=True, timeout=300)
        self.assertIn("abandoned ESC: pending False, band (0, 0)", process.stdout, process.stderr)
        self.assertIn("abandoned RIGHTMOUSE: pending False, band (0, 0)", process.stdout)
        self.assertIn("then a click sets the anchor: 9, band (0, 0)", process.stdout)

    def test_checks_inside_blender(self):
        blend = self.copy_scene("inside")
        code, output = self.blender.run(blend, "-P", os.path.join(HERE, "blender_checks.py"),
                                        "--", SELVO, os.path.dirname(blend))
        self.assertEqual(code, 0, output)


if __name__ == "__main__":
    if not shutil.which(BLENDER):
        print(f"skipped: Blender ({BLENDER}) is not installed; "
              "scripts/install-deps.sh installs Debian's blender")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)  # -k NAME picks tests
