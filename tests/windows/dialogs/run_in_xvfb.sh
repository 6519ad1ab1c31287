#!/bin/sh
# Runs a Windows program under wine64 on an X server of its own, then stops
# the Wine server of the prefix (WINEPREFIX) so that the next run starts on
# its own display.
# usage: run_in_xvfb.sh WINE64 WINESERVER PROGRAM [ARGUMENTS...]
set -u
SELVO_WINE64=$1
SELVO_WINESERVER=$2
shift 2
export SELVO_WINE64 SELVO_WINESERVER
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  "$SELVO_WINE64" "$@"
  status=$?
  "$SELVO_WINESERVER" -k 2>/dev/null
  exit $status' run_in_xvfb "$@"
