// The palette grid's window side: painting and the mouse, for the setup
// dialog. The geometry and the pick rules live in palette_grid.h.
#pragma once

#include <windows.h>

class PaletteRenderer;

// WM_PAINT: draws the grid within the paint protocol, so that the dialog's
// background erase cannot wipe it afterwards.
void OnGridPaint(HWND dialog, PaletteRenderer& filter);
void OnGridLeftClick(HWND dialog, PaletteRenderer& filter, int x, int y);
void OnGridRightClick();
// Pick button of ID `id` pressed.
void OnPickButton(int id);
