// The setup dialog's module-wide state and its dialog procedure. Only one
// setup dialog can be open in a process: the state below is shared by all
// filter objects and reset each time the dialog opens.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/renderer_config.h"
#include "ui/palette_grid.h"

class ISpinnerControl;
class PaletteRenderer;

struct SetupDialogState {
  PaletteRenderer* ActiveFilter = nullptr;  // set when the dialog opens, never cleared
  uint8_t WorkingPalette[selvo::kPaletteSize] = {};  // committed by OK only
  ISpinnerControl* FromSpinners[selvo::kRangeCount] = {};  // null when not held
  ISpinnerControl* ToSpinners[selvo::kRangeCount] = {};
  selvo::ui::GridPickState Pick;  // AnchorIndex, ChosenId, PickPending
};

SetupDialogState& SetupState();

INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
