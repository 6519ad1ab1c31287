#!/usr/bin/env bash
# Saves a screenshot of Blender's "Selvo Palette" panel, with the demo's
# settings, to docs/blender-panel.png (or $1): Blender's UI under Xvfb on
# Mesa's software OpenGL. Needs a build (build/selvo_blender.zip, build/cli/selvo).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/blender-panel.png}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export BLENDER_USER_SCRIPTS=$scratch/scripts BLENDER_USER_CONFIG=$scratch/config
export PATH=$PWD/build/cli:$PATH LIBGL_ALWAYS_SOFTWARE=1
build/cli/selvo config init "$scratch/demo.bin" --demo
cat > "$scratch/shoot.py" <<PY
import bpy
bpy.ops.preferences.addon_install(filepath="$PWD/build/selvo_blender.zip")
bpy.ops.preferences.addon_enable(module="selvo")
bpy.ops.selvo.import_settings(filepath="$scratch/demo.bin")
bpy.ops.selvo.grid_click(index=16)
bpy.ops.selvo.pick(id=1)  # a pick under way: the grid shows ID 1's band

def largest_area():
    screen = bpy.context.window_manager.windows[0].screen
    return max(screen.areas, key=lambda a: a.width * a.height)

largest_area().ui_type = "PROPERTIES"

def show_output_tab():  # the editor lists its tabs once it has been drawn
    largest_area().spaces.active.context = "OUTPUT"
    bpy.app.timers.register(shoot, first_interval=2)

def shoot():
    window = bpy.context.window_manager.windows[0]
    with bpy.context.temp_override(window=window, area=largest_area()):
        bpy.ops.screen.screenshot_area(filepath="$out")
    bpy.ops.wm.quit_blender()

bpy.app.timers.register(show_output_tab, first_interval=3)
PY
# Opening a file, even an empty one, keeps the splash screen away.
blender -b --factory-startup -noaudio --python-expr \
  "import bpy; bpy.ops.wm.save_as_mainfile(filepath='$scratch/empty.blend')" >/dev/null
xvfb-run -a -s "-screen 0 1000x2200x24" \
  blender "$scratch/empty.blend" -noaudio --window-geometry 0 0 1000 2200 -P "$scratch/shoot.py"
echo "saved $out"
