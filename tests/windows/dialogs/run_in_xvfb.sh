#!/bin/sh
# Runs a Windows program under a Wine loader (wine64, or the 32-bit wine) on
# an X server of its own, then stops the Wine server of the prefix
# (WINEPREFIX) so that the next run starts on its own display.
# usage: run_in_xvfb.sh WINE WINESERVER PROGRAM [ARGUMENTS...]
set -u
SELVO_WINE=$1
SELVO_WINESERVER=$2
shift 2
export SELVO_WINE SELVO_WINESERVER
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  "$SELVO_WINE" "$@"
  status=$?
  "$SELVO_WINESERVER" -k 2>/dev/null
  exit $status' run_in_xvfb "$@"
