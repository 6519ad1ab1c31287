"""Blender processes with the add-on installed as docs/blender.md says, for
the add-on tests and bench/blender_bench.py: Debian 12's Blender or one in
a Debian root made by scripts/blender-chroots.sh, entered by
scripts/chroot-run.sh with the folders the processes share bound in."""

import os
import re
import subprocess

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def chroot_problem(root):
    """Why the Blender of `root` cannot run, or None."""
    if os.path.exists(root + ".failed"):
        with open(root + ".failed") as f:
            return f"it could not be set up: {f.read().strip()}"
    if not os.path.exists(root + ".ready"):
        build = os.path.dirname(os.path.dirname(root))
        return f"it is not set up: scripts/blender-chroots.sh {build} installs it"
    if os.geteuid() != 0:
        return "entering it needs root"
    return None


def chroot_blender(root, shared_folders):
    """The command that starts the Blender of `root`, seeing `shared_folders`."""
    command = [os.path.join(SOURCE, "scripts", "chroot-run.sh"), os.path.abspath(root)]
    for folder in shared_folders:
        command += ["--bind", os.path.abspath(folder)]
    return command + ["--", "blender"]


class Blender:
    """Blender processes that share one scratch user folder `root`, where
    install() puts the add-on, as on a farm worker. `command` starts Blender;
    `selvo` is the selvo it finds on PATH."""

    def __init__(self, command, selvo, root):
        self.command, self.selvo, self.root = command, selvo, root
        self.env = dict(os.environ,
                        BLENDER_USER_SCRIPTS=os.path.join(root, "scripts"),
                        BLENDER_USER_CONFIG=os.path.join(root, "config"),
                        BLENDER_USER_EXTENSIONS=os.path.join(root, "extensions"),
                        PATH=os.path.dirname(selvo) + os.pathsep + "/usr/bin:/bin")
        said = self.output("--version")
        found = re.search(r"^Blender (\d+)\.(\d+)", said, re.M)
        assert found, said
        self.version = (int(found[1]), int(found[2]))
        self.extension = self.version >= (4, 2)
        self.module = "bl_ext.user_default.selvo" if self.extension else "selvo"

    def start(self, *args, env=None):
        # A failing --python script fails the process; a traceback from
        # Blender's own start-up (sid's cattrs) does not.
        return subprocess.Popen(self.command + ["-b", "-noaudio", "--python-exit-code", "1", *args],
                                env=env or self.env, cwd=self.root, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)

    def run(self, *args, env=None):
        """Exit status and output of a background Blender."""
        process = self.start(*args, env=env)
        output, _ = process.communicate(timeout=1200)
        return process.returncode, output

    def output(self, *args):
        """What Blender says for a command such as --version or --command."""
        done = subprocess.run(self.command + list(args), env=self.env, capture_output=True,
                              text=True, timeout=600)
        return done.stdout + done.stderr

    def install(self, addon_zip):
        """docs/blender.md's install commands: an extension from 4.2 on, a
        legacy add-on before."""
        if self.extension:
            return self.run("--command", "extension", "install-file", "-r", "user_default",
                            "--enable", addon_zip)
        return self.run("--python-expr", (
            "import bpy\n"
            f"bpy.ops.preferences.addon_install(filepath={addon_zip!r})\n"
            "bpy.ops.preferences.addon_enable(module='selvo')\n"
            "bpy.ops.wm.save_userpref()\n"))

    def make_scene(self, blend):
        """The tests' scene (make_scene.py), saved as `blend`."""
        return self.run("-P", os.path.join(SOURCE, "tests", "blender", "make_scene.py"),
                        "--", blend)


def python(*lines):
    """A --python-expr that runs `lines` after importing bpy."""
    return "\n".join(("import bpy", "scene = bpy.context.scene") + lines)
