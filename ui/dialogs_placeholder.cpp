// Stands in for the setup dialog and about box until they land: neither
// opens a window. The setup answers as a cancelled dialog, so nothing in
// the settings changes; the about box answers as a closed one.
#include "ui/dialogs.h"

int RunSetupDialog(HINSTANCE, HWND, PaletteRenderer*) { return 0; }

int RunAboutBox(HINSTANCE, HWND, PaletteRenderer*) { return 1; }
