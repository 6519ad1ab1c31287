// The filter's modal dialogs, opened over the window the host passes in.
#pragma once

#include <windows.h>

class PaletteRenderer;

// The setup dialog editing `filter`'s settings: 1 after OK, 0 after Cancel
// (and when the dialog could not be opened).
int RunSetupDialog(HINSTANCE module, HWND parent, PaletteRenderer* filter);

// The about box: 1 once it is closed, 0 when it could not be opened.
int RunAboutBox(HINSTANCE module, HWND parent, PaletteRenderer* filter);
