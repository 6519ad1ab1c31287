#include "host/progress_window.h"

#include <cstdint>

namespace {

constexpr UINT kProgressMessage = WM_USER + 32;    // 1056
constexpr UINT kAbortQueryMessage = WM_USER + 33;  // 1057
constexpr char kClassName[] = "SelvoHostProgress";

}  // namespace

StandInProgressWindow::StandInProgressWindow(int abortAtQuery) : abortAtQuery_(abortAtQuery) {
  static const ATOM registered = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &StandInProgressWindow::Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass);
  }();
  if (registered == 0) return;
  // Message-only: a progress counter needs no display.
  window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (window_ != nullptr)
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

StandInProgressWindow::~StandInProgressWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK StandInProgressWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  auto* self = reinterpret_cast<StandInProgressWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr && message == kProgressMessage) {
    self->OnProgress(wParam, lParam);
    return 0;
  }
  if (self != nullptr && message == kAbortQueryMessage) {
    self->OnAbortQuery(lParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void StandInProgressWindow::OnProgress(WPARAM row, LPARAM lastRow) {
  if (long(row) != progressMessages_ || (lastRow_ >= 0 && long(lastRow) != lastRow_))
    rowsInOrder_ = false;
  lastRow_ = long(lastRow);
  ++progressMessages_;
}

void StandInProgressWindow::OnAbortQuery(LPARAM abortFlag) {
  ++abortQueries_;
  if (abortAtQuery_ != 0 && abortQueries_ >= abortAtQuery_ && abortFlag != 0)
    *reinterpret_cast<int32_t*>(abortFlag) = 1;
}
