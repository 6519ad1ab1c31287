// The about box (template IDD_ABOUT, "About Selvo Filter").
//
// Controls it owns: IDOK only; the texts, the frame and the picture
// (IDB_ABOUT_PICTURE) are static. Escape and the close box send IDCANCEL,
// which closes it exactly as OK does.
#include "host/sdk/utilities.h"
#include "res/resource.h"
#include "ui/dialogs.h"

namespace {

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWindow(dialog, GetParent(dialog));
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return TRUE;
    case WM_COMMAND:  // answered for every control; only OK and Cancel close
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 1);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int RunAboutBox(HINSTANCE module, HWND parent, const void* filter) {
  const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_ABOUT), parent, AboutDlgProc,
                                         reinterpret_cast<LPARAM>(filter));
  return result == 1 ? 1 : 0;  // a box that could not open was not shown
}
