"""Finding and running the selvo command, and telling the user what went
wrong in the status bar and the console."""

import contextlib
import functools
import json
import os
import shutil
import subprocess
import sys
import tempfile

import bpy

from . import block, extras, output, prefs

# One frame of selvo takes well under a second; this only guards against a
# stuck process holding Blender forever.
TIMEOUT_SECONDS = 600


class SelvoError(Exception):
    pass


class SelvoMissing(SelvoError):
    """No selvo to run: a problem of the set-up, not of one frame."""


def find_selvo():
    configured = prefs.configured_selvo()
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
        # The error itself, not the "Try 'selvo ... --help'." after a usage error.
        message = [line for line in done.stderr.strip().splitlines()
                   if not line.startswith("Try '")]
        raise SelvoError(message[-1] if message else
                         f"selvo failed with exit status {done.returncode}")
    return done


class TemporaryFile:
    """`data` in a temporary file, for selvo's --settings and --extras;
    removed on leaving."""

    def __init__(self, data, suffix):
        self.data, self.suffix = data, suffix

    def __enter__(self):
        fd, self.path = tempfile.mkstemp(prefix="selvo-", suffix=self.suffix)
        with os.fdopen(fd, "wb") as f:
            f.write(self.data)
        return self.path

    def __exit__(self, *_):
        os.unlink(self.path)


def settings_file(settings):
    return TemporaryFile(settings.pack(), ".bin")


def extras_arguments(stack, props):
    """["--extras", FILE] with the scene's extras, kept until `stack`
    closes; [] when none is chosen, so selvo maps as the filter does."""
    if not extras.any_chosen(props):
        return []
    data = extras.to_json(props).encode("ascii")
    return ["--extras", stack.enter_context(TemporaryFile(data, ".json"))]


@functools.lru_cache(maxsize=64)
def frame_file_name(name, frame):
    """The file selvo writes frame `frame` to under the output name `name`,
    or None when that passes selvo's 255 characters: selvo's own answer,
    so the rule lives in one place. Asked again only for a new name or
    frame (the panel asks on every redraw)."""
    try:
        settings = block.Settings(name_bytes=block.encode_name(name))
    except block.BlockError:
        return None
    with settings_file(settings) as path:
        shown = json.loads(run(["config", "show", path, "--json", "--frame", str(frame)]).stdout)
    written = shown["frameName"]
    # selvo shows each byte outside printable ASCII as one \u00XX escape.
    return None if written is None else written.encode("latin-1").decode("utf-8", "replace")


def render_frame(scene, color_path, ids_path, frame, view_suffix=""):
    """Palettizes one frame with the scene's settings into the PCX and its
    preview PNG where the output name points; returns both paths."""
    folder, name = output.pcx_target(scene.selvo.output_name, view_suffix)
    pcx = frame_file_name(name, frame)
    if pcx is None:
        raise SelvoError(f"the output name gives no PCX file name of at most 255 "
                         f"characters at frame {frame}")
    preview = os.path.splitext(pcx)[0] + ".png"
    # Blender makes the folders of its frames; the PCX gets the same service.
    os.makedirs(folder, exist_ok=True)
    with contextlib.ExitStack() as stack:
        settings = stack.enter_context(settings_file(scene.selvo.to_block()))
        run(["render", "--color", color_path, "--ids", ids_path, "--settings", settings,
             *extras_arguments(stack, scene.selvo), "--output", name, "--frame", str(frame),
             "--preview", preview, "--quiet"], cwd=folder)
    return os.path.join(folder, pcx), os.path.join(folder, preview)


def print_report(message, level="ERROR"):
    print(f"Selvo: {level.lower()}: {message}", file=sys.stderr, flush=True)


def report(message, level="ERROR"):
    """One report in the console and, with a UI, in the status bar and the
    panel. Safe from the render thread: the UI part runs on a timer."""
    print_report(message, level)
    _show_in_ui(message, level == "ERROR")


def clear_report():
    _show_in_ui("", False)


def _show_in_ui(message, is_error):
    if bpy.app.background:
        return

    def show():
        wm = bpy.context.window_manager
        wm.selvo_pick.last_report = message
        wm.selvo_pick.last_report_is_error = is_error
        for window in wm.windows:
            window.workspace.status_text_set(f"Selvo: {message}" if message else None)
            for area in window.screen.areas:
                area.tag_redraw()

    bpy.app.timers.register(show, first_interval=0)
