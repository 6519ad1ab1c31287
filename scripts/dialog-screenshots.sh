#!/usr/bin/env bash
# Saves the setup dialog and the about box, as the x86_64 build shows them
# under wine64 on a virtual display, as BMP files and converts them to PNG.
# usage: scripts/dialog-screenshots.sh [OUTPUT_DIR [SETTINGS_FILE]]
# Needs the build of scripts/test.sh (build/win64/bin) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build/screenshots}
settings=()
[ $# -ge 2 ] && settings=(--settings "$2")
bin=build/win64/bin
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
export WINEPREFIX="$PWD/build/screenshots-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$out"
[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1
# Without a window manager Wine must draw the title bars itself.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
"$server" -w
for dialog in setup about; do
  tests/windows/dialogs/run_in_xvfb.sh "$wine" "$server" \
    "$bin/selvo-host.exe" screenshot "$bin/Selvo.flt" "$dialog" "$out/$dialog.bmp" "${settings[@]}"
  convert "$out/$dialog.bmp" "$out/$dialog.png"
  echo "$out/$dialog.png"
done
