// The filter's modal dialogs, opened over the window the host passes in.
#pragma once

#include <windows.h>

#include "core/renderer_config.h"

// The setup dialog editing a filter's settings in place: 1 after OK, 0 after
// Cancel (and when the dialog could not be opened).
int RunSetupDialog(HINSTANCE module, HWND parent, selvo::RendererConfig& settings);

// The about box: 1 once it is closed, 0 when it could not be opened. The
// filter's address is its creation parameter, which the box does not use.
int RunAboutBox(HINSTANCE module, HWND parent, const void* filter);
