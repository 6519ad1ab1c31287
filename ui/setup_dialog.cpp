// The setup dialog (template IDD_SETUP, "Selvo Palette Renderer Control").
//
// Controls it owns:
//   IDOK / IDCANCEL                     commit and close / close
//   IDC_MATERIAL_EFFECTS, IDC_OBJECT_CHANNEL   source channel radio pair
//   IDC_OUTPUT_NAME, IDC_BROWSE_OUTPUT  output file name and its chooser
//   IDC_UNIFORM, IDC_MOST_SIMILAR       assignment method radio pair
//   IDC_BROWSE_PALETTE                  palette import from a PCX file
//   per ID row (kIdRows): From and To "CustEdit" boxes with their
//   "SpinnerControl"s, the "pick" button and the Dither box
//   the palette grid, painted onto the client area (palette_grid_view.cpp)
//
// The dialog edits the active filter's settings in place: OK writes the
// controls and the working palette back. A completed pick and a browsed
// output name are written at once and survive Cancel.
#include "ui/setup_dialog.h"

#include <cstring>

#include "host/sdk/custom_controls.h"
#include "host/sdk/utilities.h"
#include "ui/dialogs.h"
#include "ui/file_choosers.h"
#include "ui/id_rows.h"
#include "ui/palette_grid_view.h"

namespace {

constexpr int kNameLimit = selvo::kNameSize - 1;
constexpr int kSpinnerMinimum = 0;
constexpr int kSpinnerMaximum = 255;

void ShowArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

// A spinner control that yields no interface leaves its slot null; every
// use below skips it, and OK keeps that ID's stored value.
void TakeSpinners(HWND dialog, SetupDialogState& state) {
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    state.FromSpinners[id] = GetISpinner(GetDlgItem(dialog, kIdRows[id].fromSpinner));
    if (state.FromSpinners[id] != nullptr)
      state.FromSpinners[id]->LinkToEdit(GetDlgItem(dialog, kIdRows[id].fromEdit), 0);
  }
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    state.ToSpinners[id] = GetISpinner(GetDlgItem(dialog, kIdRows[id].toSpinner));
    if (state.ToSpinners[id] != nullptr)
      state.ToSpinners[id]->LinkToEdit(GetDlgItem(dialog, kIdRows[id].toEdit), 0);
  }
}

void ShowInSpinner(ISpinnerControl* spinner, int value) {
  if (spinner == nullptr) return;
  spinner->SetLimits(kSpinnerMinimum, kSpinnerMaximum, 0);
  spinner->SetValue(value, 0);
}

// Low 8 bits of the spinner's value; without a spinner the stored value stays.
uint8_t SpinnerByte(ISpinnerControl* spinner, uint8_t stored) {
  return spinner != nullptr ? uint8_t(spinner->GetIVal()) : stored;
}

void ReleaseSpinners(SetupDialogState& state) {
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    for (ISpinnerControl** slot : {&state.FromSpinners[id], &state.ToSpinners[id]}) {
      if (*slot == nullptr) continue;
      ReleaseISpinner(*slot);
      *slot = nullptr;
    }
  }
}

void ShowOutputName(HWND dialog, const selvo::RendererConfig& config) {
  char name[selvo::kNameSize] = {};
  // A stored block from elsewhere may lack a terminator: show 255 characters.
  std::memcpy(name, config.outputName, kNameLimit);
  SetDlgItemTextA(dialog, IDC_OUTPUT_NAME, name);
}

void OnInitDialog(HWND dialog, const selvo::RendererConfig& config) {
  SetupDialogState& state = SetupState();
  CenterWindow(dialog, GetParent(dialog));
  ShowArrowCursor();
  CheckRadioButton(dialog, IDC_MATERIAL_EFFECTS, IDC_OBJECT_CHANNEL, config.sourceChannel);
  SendDlgItemMessageA(dialog, IDC_OUTPUT_NAME, EM_LIMITTEXT, kNameLimit, 0);
  ShowOutputName(dialog, config);
  CheckRadioButton(dialog, IDC_UNIFORM, IDC_MOST_SIMILAR, config.method);
  std::memcpy(state.WorkingPalette, config.palette, selvo::kPaletteSize);

  std::memset(state.FromSpinners, 0, sizeof state.FromSpinners);
  std::memset(state.ToSpinners, 0, sizeof state.ToSpinners);
  state.Pick = selvo::ui::GridPickState{};
  TakeSpinners(dialog, state);
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    ShowInSpinner(state.FromSpinners[id], config.ranges[id].from);
    ShowInSpinner(state.ToSpinners[id], config.ranges[id].to);
  }
  for (int id = 0; id < selvo::kRangeCount; ++id)
    CheckDlgButton(dialog, kIdRows[id].dither,
                   config.ranges[id].dither != 0 ? BST_CHECKED : BST_UNCHECKED);
  UpdateDitherEnabling(dialog);
}

// Radio pairs store the checked button's id; with neither checked the
// second id of the pair is stored.
void CommitSettings(HWND dialog, selvo::RendererConfig& config) {
  const SetupDialogState& state = SetupState();
  config.sourceChannel =
      IsDlgButtonChecked(dialog, IDC_MATERIAL_EFFECTS) ? IDC_MATERIAL_EFFECTS : IDC_OBJECT_CHANNEL;
  // Straight into the stored name: text and terminator, the bytes after it kept.
  GetDlgItemTextA(dialog, IDC_OUTPUT_NAME, config.outputName, selvo::kNameSize);
  config.method = IsDlgButtonChecked(dialog, IDC_UNIFORM) ? IDC_UNIFORM : IDC_MOST_SIMILAR;
  for (int id = 0; id < selvo::kRangeCount; ++id) {
    selvo::ColorRange& range = config.ranges[id];
    range.from = SpinnerByte(state.FromSpinners[id], range.from);
    range.to = SpinnerByte(state.ToSpinners[id], range.to);
  }
  // Disabled boxes are read like enabled ones.
  for (int id = 0; id < selvo::kRangeCount; ++id)
    config.ranges[id].dither = IsDlgButtonChecked(dialog, kIdRows[id].dither) ? 1 : 0;
  std::memcpy(config.palette, state.WorkingPalette, selvo::kPaletteSize);
}

void OnCommand(HWND dialog, selvo::RendererConfig& settings, int control) {
  if (control >= kFirstPickButton && control <= kLastPickButton) {
    OnPickButton(control - kFirstPickButton);
    return;
  }
  switch (control) {
    case IDOK:
      CommitSettings(dialog, settings);
      EndDialog(dialog, 1);
      break;
    case IDCANCEL: EndDialog(dialog, 0); break;
    case IDC_BROWSE_OUTPUT:
      BrowseOutputName(dialog, settings);
      ShowOutputName(dialog, settings);  // whatever the chooser's outcome
      break;
    case IDC_UNIFORM:
    case IDC_MOST_SIMILAR: UpdateDitherEnabling(dialog); break;
    case IDC_BROWSE_PALETTE: BrowsePalettePcx(dialog); break;
  }
}

}  // namespace

SetupDialogState& SetupState() {
  static SetupDialogState state;
  return state;
}

INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  SetupDialogState& state = SetupState();
  if (message == WM_INITDIALOG)
    state.ActiveFilter = reinterpret_cast<selvo::RendererConfig*>(lParam);
  if (state.ActiveFilter == nullptr) return FALSE;
  return HandleSetupMessage(*state.ActiveFilter, dialog, message, wParam, lParam);
}

int RunSetupDialog(HINSTANCE module, HWND parent, selvo::RendererConfig& settings) {
  const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_SETUP), parent, SetupDlgProc,
                                         reinterpret_cast<LPARAM>(&settings));
  return result == 1 ? 1 : 0;  // a dialog that could not open counts as cancelled
}

INT_PTR HandleSetupMessage(selvo::RendererConfig& settings, HWND dialog, UINT message,
                           WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog, settings); return TRUE;
    case WM_COMMAND:  // every command is answered, handled or not
      OnCommand(dialog, settings, LOWORD(wParam));
      return TRUE;
    case WM_PAINT: OnGridPaint(dialog, settings); return FALSE;
    case WM_LBUTTONDOWN:  // client coordinates, read unsigned
      OnGridLeftClick(dialog, settings, LOWORD(lParam), HIWORD(lParam));
      return FALSE;
    case WM_RBUTTONDOWN: OnGridRightClick(); return FALSE;
    case WM_DESTROY: ReleaseSpinners(SetupState()); return FALSE;
  }
  return FALSE;
}

// Dither only applies to uniform distribution; the boxes keep their checks
// while disabled.
void UpdateDitherEnabling(HWND dialog) {
  const BOOL uniform = IsDlgButtonChecked(dialog, IDC_UNIFORM) == BST_CHECKED;
  for (int id = 0; id < selvo::kRangeCount; ++id)
    EnableWindow(GetDlgItem(dialog, kIdRows[id].dither), uniform);
}
