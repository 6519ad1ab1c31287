// The filter's modal dialogs, opened over the window the host passes in.
#pragma once

#include <windows.h>

class PaletteRenderer;

// The setup dialog editing `filter`'s settings: 1 after OK, 0 after Cancel.
int RunSetupDialog(HINSTANCE module, HWND parent, PaletteRenderer* filter);

// The about box: 1 once it is closed.
int RunAboutBox(HINSTANCE module, HWND parent, PaletteRenderer* filter);
