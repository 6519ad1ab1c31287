#!/usr/bin/env bash
# Saves a picture of Blender's "Selvo Palette" panel, with the demo's
# settings and a pick under way, to docs/blender-panel.png (or OUT): Blender's
# UI under Xvfb on Mesa's software OpenGL, the X screen captured by xwd
# (Blender's own screenshot operators give black pictures from 4.x on) and
# cut to the Properties editor. ROOT is a Debian root of
# scripts/blender-chroots.sh (build/blender-chroots/sid for Blender 5.x);
# without it, this system's Blender. Needs a build (cmake --build build).
# Usage: scripts/blender-screenshot.sh [OUT.png [ROOT]]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/blender-panel.png}")
root=${2:-}
build=$PWD/build
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export BLENDER_USER_SCRIPTS=$scratch/scripts BLENDER_USER_CONFIG=$scratch/config
export BLENDER_USER_EXTENSIONS=$scratch/extensions LIBGL_ALWAYS_SOFTWARE=1
if [ -n "$root" ]; then
  blender=(scripts/chroot-run.sh "$root" --bind "$PWD" --bind /tmp -- blender)
  export PATH=$build/tests/blender/selvo-bundle:$PATH
else
  blender=(blender)
  export PATH=$build/cli:$PATH
fi
selvo config init "$scratch/demo.bin" --demo

# As docs/blender.md installs it: an extension from 4.2 on. What Blender
# says goes to a log, shown when it fails (sid's Blender prints a harmless
# traceback of its own at every start).
quietly() { "$@" >"$scratch/log" 2>&1 || { cat "$scratch/log" >&2; return 1; }; }
quietly "${blender[@]}" --version
version=$(sed -n 's/^Blender \([0-9]*\.[0-9]*\).*/\1/p' "$scratch/log" | head -1)
if [ "$(printf '%s\n4.2\n' "$version" | sort -V | head -1)" = 4.2 ]; then
  quietly "${blender[@]}" --command extension install-file -r user_default --enable \
    "$build/selvo_blender.zip"
else
  quietly "${blender[@]}" -b --python-expr "import bpy
bpy.ops.preferences.addon_install(filepath='$build/selvo_blender.zip')
bpy.ops.preferences.addon_enable(module='selvo')
bpy.ops.wm.save_userpref()"
fi

cat >"$scratch/shoot.py" <<PY
import os
import bpy

bpy.ops.selvo.import_settings(filepath="$scratch/demo.bin")
bpy.ops.selvo.grid_click(index=16)
bpy.ops.selvo.pick(id=1)  # a pick under way: the grid shows ID 1's band

def largest_area():
    screen = bpy.context.window_manager.windows[0].screen
    return max(screen.areas, key=lambda a: a.width * a.height)

largest_area().ui_type = "PROPERTIES"

def show_output_tab():  # the editor lists its tabs once it has been drawn
    largest_area().spaces.active.context = "OUTPUT"
    bpy.app.timers.register(tell_where, first_interval=3)

def tell_where():  # the area as ImageMagick crops: WxH+X+Y from the top left
    area, window = largest_area(), bpy.context.window_manager.windows[0]
    with open("$scratch/area.tmp", "w") as f:
        f.write("%dx%d+%d+%d" % (area.width, area.height, area.x,
                                 window.height - area.y - area.height))
    os.replace("$scratch/area.tmp", "$scratch/area")
    bpy.app.timers.register(quit_when_shot, first_interval=0.5)

def quit_when_shot():
    if not os.path.exists("$scratch/shot"):
        return 0.5
    bpy.ops.wm.quit_blender()

bpy.app.timers.register(show_output_tab, first_interval=3)
PY
# Opening a file, even an empty one, keeps the splash screen away.
quietly "${blender[@]}" -b --factory-startup -noaudio --python-expr \
  "import bpy; bpy.ops.wm.save_as_mainfile(filepath='$scratch/empty.blend')"
cat >"$scratch/run.sh" <<SH
"\$@" &
while [ ! -e "$scratch/area" ] && kill -0 \$! 2>/dev/null; do sleep 0.5; done
xwd -root -silent | convert xwd:- -crop "\$(cat "$scratch/area")" +repage "png:$out.tmp"
touch "$scratch/shot"
wait
SH
xvfb-run -a -s "-screen 0 1000x2200x24" sh "$scratch/run.sh" "${blender[@]}" "$scratch/empty.blend" \
  -noaudio --window-geometry 0 0 1000 2200 -P "$scratch/shoot.py" >/dev/null 2>&1
mv "$out.tmp" "$out"
echo "saved $out (Blender $version)"
