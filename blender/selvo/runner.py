"""Finding and running the selvo command, and telling the user what went
wrong in the status bar and the console."""

import os
import shutil
import subprocess
import sys
import tempfile

import bpy

from . import block

# One frame of selvo takes well under a second; this only guards against a
# stuck process holding Blender forever.
TIMEOUT_SECONDS = 600


class SelvoError(Exception):
    pass


class SelvoMissing(SelvoError):
    """No selvo to run: a problem of the set-up, not of one frame."""


class Preferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    selvo_path: bpy.props.StringProperty(
        name="selvo executable", subtype="FILE_PATH",
        description="Leave empty to find selvo on PATH")

    def draw(self, context):
        self.layout.prop(self, "selvo_path")


def find_selvo():
    addon = bpy.context.preferences.addons.get(__package__)
    configured = addon.preferences.selvo_path if addon else ""
    if configured:
        path = bpy.path.abspath(configured)
        if os.access(path, os.X_OK):
            return path
        raise SelvoMissing(f"selvo is not at {path} (set in the add-on's preferences)")
    found = shutil.which("selvo")
    if not found:
        raise SelvoMissing("selvo was not found on PATH; install it or set its "
                         "path in the Selvo add-on's preferences")
    return found


def work_folder():
    """Relative output names are relative to the .blend's folder, as
    Blender's // paths are (the working directory for an unsaved file)."""
    return bpy.path.abspath("//") if bpy.data.filepath else os.getcwd()


def run(args, cwd=None):
    """Runs selvo with `args`; SelvoError with its message when it fails."""
    command = [find_selvo()] + list(args)
    try:
        done = subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True,
                              timeout=TIMEOUT_SECONDS)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise SelvoError(f"selvo could not run: {error}") from None
    if done.returncode != 0:
        message = done.stderr.strip().splitlines()
        raise SelvoError(message[-1] if message else
                         f"selvo failed with exit status {done.returncode}")
    return done


class SettingsFile:
    """The scene's settings as a temporary block file, for --settings."""

    def __init__(self, props):
        self.settings = props.to_block()

    def __enter__(self):
        fd, self.path = tempfile.mkstemp(prefix="selvo-", suffix=".bin")
        with os.fdopen(fd, "wb") as f:
            f.write(self.settings.pack())
        return self.path

    def __exit__(self, *_):
        os.unlink(self.path)


def render_frame(scene, exr_path, frame):
    """Palettizes one multilayer EXR frame with the scene's settings into the
    PCX and its preview PNG; returns both paths."""
    folder = work_folder()
    name = scene.selvo.output_name
    pcx = os.path.join(folder, block.frame_name(name, frame))
    preview = os.path.join(folder, block.frame_name(name, frame, ".png"))
    # Blender makes the folders of its frames; the PCX gets the same service.
    os.makedirs(os.path.dirname(pcx), exist_ok=True)
    with SettingsFile(scene.selvo) as settings:
        run(["render", "--color", exr_path, "--ids", exr_path,
             "--settings", settings, "--frame", str(frame),
             "--preview", preview, "--quiet"], cwd=folder)
    return pcx, preview


def print_report(message, level="ERROR"):
    print(f"Selvo: {level.lower()}: {message}", file=sys.stderr, flush=True)


def report(message, level="ERROR"):
    """One report in the console and, with a UI, in the status bar and the
    panel. Safe from the render thread: the UI part runs on a timer."""
    print_report(message, level)
    _show_in_ui(message)


def clear_report():
    _show_in_ui("")


def _show_in_ui(message):
    if bpy.app.background:
        return

    def show():
        wm = bpy.context.window_manager
        wm.selvo_pick.last_report = message
        for window in wm.windows:
            window.workspace.status_text_set(f"Selvo: {message}" if message else None)
            for area in window.screen.areas:
                area.tag_redraw()

    bpy.app.timers.register(show, first_interval=0)
