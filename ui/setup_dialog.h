// The setup dialog's module-wide state and its dialog procedure. Only one
// setup dialog can be open in a process: the state below is shared by all
// filter objects and reset each time the dialog opens.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/renderer_config.h"
#include "ui/palette_grid.h"

class ISpinnerControl;

struct SetupDialogState {
  // The settings of the filter the open dialog edits: all it needs of the
  // filter. Set when the dialog opens, never cleared.
  selvo::RendererConfig* ActiveFilter = nullptr;
  uint8_t WorkingPalette[selvo::kPaletteSize] = {};        // committed by OK only
  ISpinnerControl* FromSpinners[selvo::kRangeCount] = {};  // null when not held
  ISpinnerControl* ToSpinners[selvo::kRangeCount] = {};
  selvo::ui::GridPickState Pick;  // AnchorIndex, ChosenId, PickPending
};

SetupDialogState& SetupState();

// Hands every message to HandleSetupMessage once WM_INITDIALOG has named
// the settings (its lParam); FALSE before that.
INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR HandleSetupMessage(selvo::RendererConfig& settings, HWND dialog, UINT message,
                           WPARAM wParam, LPARAM lParam);
// Dither boxes enabled only for uniform distribution.
void UpdateDitherEnabling(HWND dialog);
