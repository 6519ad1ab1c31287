#!/usr/bin/env bash
# Saves the setup dialog and the about box, as the module shows them under
# Wine on a virtual display, as BMP files and converts them to PNG.
# usage: scripts/dialog-screenshots.sh [--i686] [OUTPUT_DIR [SETTINGS_FILE]]
#   --i686  the deliverable (build/win32/bin) under the 32-bit Wine loader
#           (wine32), emulated through scripts/with-i386 where the kernel
#           runs no 32-bit code; without it the x86_64 build (build/win64/bin)
#           under wine64.
# Needs the build of scripts/test.sh and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=x86_64
if [ "${1:-}" = --i686 ]; then
  arch=i686
  shift
fi
out=${1:-build/screenshots}
settings=()
[ $# -ge 2 ] && settings=(--settings "$2")
server=/usr/lib/wine/wineserver
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ $arch = i686 ]; then
  # Where the kernel runs no 32-bit code: this script again, inside the i386
  # handler that scripts/with-i386 scopes to it (it says why when it cannot).
  scripts/runs-32bit.sh >/dev/null || exec scripts/with-i386 scripts/dialog-screenshots.sh --i686 "$@"
  bin=build/win32/bin
  wine=/usr/lib/wine/wine
  [ -x "$wine" ] || { echo "dialog-screenshots.sh: $wine missing: install wine32:i386 (scripts/install-deps.sh)" >&2; exit 1; }
  export WINEPREFIX="$PWD/build/screenshots-prefix-i686" WINEARCH=win32
else
  bin=build/win64/bin
  wine=/usr/lib/wine/wine64
  export WINEPREFIX="$PWD/build/screenshots-prefix"
fi

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
