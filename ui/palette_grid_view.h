// The palette grid's window side: painting and the mouse, for the setup
// dialog. The geometry and the pick rules live in palette_grid.h.
#pragma once

#include <windows.h>

#include "core/renderer_config.h"

// Draws the grid straight onto the dialog's own device context (after a click).
void PaintPaletteGrid(HWND dialog, const selvo::RendererConfig& settings);
// WM_PAINT: draws the grid within the paint protocol, so that the dialog's
// background erase cannot wipe it afterwards.
void OnGridPaint(HWND dialog, const selvo::RendererConfig& settings);
void OnGridLeftClick(HWND dialog, selvo::RendererConfig& settings, int x, int y);
void OnGridRightClick();
// Pick button of ID `id` pressed.
void OnPickButton(int id);
