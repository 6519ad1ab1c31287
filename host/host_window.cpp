#include "host/host_window.h"

namespace {

constexpr char kClassName[] = "SelvoHostWindow";
constexpr int kWidth = 800;
constexpr int kHeight = 640;

ATOM RegisterHostClass() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = kClassName;
  static const ATOM atom = RegisterClassExA(&wc);
  return atom;
}

}  // namespace

HostWindow::HostWindow() {
  if (RegisterHostClass() == 0) return;
  window_ = CreateWindowExA(0, kClassName, "Selvo Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                            kWidth, kHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

HostWindow::~HostWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}
