// The setup dialog's two file choosers: "Browse..." picks the base name of
// the per-frame output files, "Browse from PCX..." takes over the palette of
// a PCX file into the dialog's working palette.
#pragma once

#include <windows.h>

#include "core/renderer_config.h"

// 1 after storing a new output name in `settings` at once (Cancel of the
// setup dialog keeps it), 0 when the chooser was cancelled.
int BrowseOutputName(HWND dialog, selvo::RendererConfig& settings);

// 1 after handing the chosen file to the palette reader, 0 when cancelled.
int BrowsePalettePcx(HWND dialog);
