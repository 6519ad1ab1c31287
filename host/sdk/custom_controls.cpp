#include "host/sdk/custom_controls.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this library's own module

namespace {

constexpr char kSpinnerClass[] = "SpinnerControl";
constexpr char kCustEditClass[] = "CustEdit";
// Property on a linked edit box naming its spinner, so the box can hand over
// a typed number when it loses the focus.
constexpr char kLinkedSpinnerProp[] = "SelvoLinkedSpinner";
constexpr int kDragPixelsPerStep = 2;
constexpr int kDragThreshold = 3;  // pixels before a held click becomes a drag

int initCount = 0;
int spinnersHeld = 0;
WNDPROC systemEditProc = nullptr;

HINSTANCE LibraryInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// Parses a whole decimal integer, blanks around it allowed; false for
// anything else. Numbers beyond int saturate; the limits clamp them anyway.
bool ParseInteger(const char* text, int& value) {
  char* end = nullptr;
  const long long parsed = std::strtoll(text, &end, 10);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  value = parsed < INT_MIN ? INT_MIN : parsed > INT_MAX ? INT_MAX : int(parsed);
  return true;
}

// One spinner. Its window holds one reference and every GetISpinner one
// more, so an interface handed out survives its window.
class Spinner final : public ISpinnerControl {
 public:
  explicit Spinner(HWND window) : window_(window) {}

  void LinkToEdit(HWND edit, int) override {
    Unlink();
    edit_ = edit;
    if (edit_ != nullptr) SetPropA(edit_, kLinkedSpinnerProp, this);
    ShowValue();
  }

  void SetLimits(int minimum, int maximum, int limitCurrent) override {
    minimum_ = minimum;
    maximum_ = maximum < minimum ? minimum : maximum;
    if (limitCurrent) SetValue(value_, 0);
  }

  void SetValue(int value, int) override {
    value_ = Clamp(value);
    ShowValue();
  }

  int GetIVal() override {
    TakeTypedValue();
    return value_;
  }

  // A number in the linked box becomes the value, clamped; whatever the
  // box held, it then shows the value.
  void TakeTypedValue() {
    if (edit_ == nullptr) return;
    char text[64] = "";
    GetWindowTextA(edit_, text, sizeof text);
    int typed = 0;
    if (ParseInteger(text, typed)) value_ = Clamp(typed);
    if (FormattedValue() != text) ShowValue();
  }

  void AddRef() { ++references_; }
  void Release() {
    if (--references_ == 0) delete this;
  }

  // The edit box is going away.
  void ForgetEdit() { edit_ = nullptr; }

  // The window is going away: drop the link and the window's reference.
  void DetachWindow() {
    Unlink();
    window_ = nullptr;
    Release();
  }

  void OnButtonDown(int y) {
    TakeTypedValue();
    SetCapture(window_);
    pressedUpper_ = y < ClientHeight() / 2;
    pressed_ = true;
    dragging_ = false;
    pressY_ = y;
    SetValue(value_ + (pressedUpper_ ? 1 : -1), 0);
    pressValue_ = value_;
    InvalidateRect(window_, nullptr, FALSE);
  }

  void OnMouseMove(int y) {
    if (!pressed_) return;
    const int rise = pressY_ - y;  // upwards increases
    if (!dragging_ && (rise >= kDragThreshold || rise <= -kDragThreshold)) dragging_ = true;
    if (dragging_) SetValue(pressValue_ + rise / kDragPixelsPerStep, 0);
  }

  void OnButtonUp() {
    if (GetCapture() == window_) ReleaseCapture();
    EndPress();
  }

  void EndPress() {
    if (!pressed_) return;
    pressed_ = false;
    dragging_ = false;
    InvalidateRect(window_, nullptr, FALSE);
  }

  void Paint(HDC dc) {
    RECT client;
    GetClientRect(window_, &client);
    const int middle = client.bottom / 2;
    RECT upper = {0, 0, client.right, middle};
    RECT lower = {0, middle, client.right, client.bottom};
    DrawFrameControl(dc, &upper, DFC_SCROLL,
                     DFCS_SCROLLUP | (pressed_ && pressedUpper_ ? DFCS_PUSHED : 0));
    DrawFrameControl(dc, &lower, DFC_SCROLL,
                     DFCS_SCROLLDOWN | (pressed_ && !pressedUpper_ ? DFCS_PUSHED : 0));
  }

 private:
  ~Spinner() { Unlink(); }

  int Clamp(int value) const {
    return value < minimum_ ? minimum_ : value > maximum_ ? maximum_ : value;
  }

  std::string FormattedValue() const { return std::to_string(value_); }

  void ShowValue() {
    if (edit_ != nullptr) SetWindowTextA(edit_, FormattedValue().c_str());
  }

  void Unlink() {
    if (edit_ != nullptr && IsWindow(edit_) && GetPropA(edit_, kLinkedSpinnerProp) == this)
      RemovePropA(edit_, kLinkedSpinnerProp);
    edit_ = nullptr;
  }

  int ClientHeight() const {
    RECT client;
    GetClientRect(window_, &client);
    return client.bottom;
  }

  HWND window_;
  HWND edit_ = nullptr;
  int minimum_ = INT_MIN;
  int maximum_ = INT_MAX;
  int value_ = 0;
  int references_ = 1;  // the window's
  bool pressed_ = false;
  bool pressedUpper_ = false;
  bool dragging_ = false;
  int pressY_ = 0;
  int pressValue_ = 0;
};

Spinner* SpinnerOf(HWND window) { return reinterpret_cast<Spinner*>(GetWindowLongPtrA(window, 0)); }

int SignedY(LPARAM lParam) { return short(HIWORD(lParam)); }

LRESULT CALLBACK SpinnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    Spinner* spinner = new (std::nothrow) Spinner(window);
    if (spinner == nullptr) return FALSE;
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(spinner));
    return DefWindowProcA(window, message, wParam, lParam);
  }
  Spinner* spinner = SpinnerOf(window);
  if (spinner == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      spinner->Paint(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: spinner->OnButtonDown(SignedY(lParam)); return 0;
    case WM_MOUSEMOVE: spinner->OnMouseMove(SignedY(lParam)); return 0;
    case WM_LBUTTONUP: spinner->OnButtonUp(); return 0;
    case WM_CAPTURECHANGED: spinner->EndPress(); return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, 0, 0);
      spinner->DetachWindow();
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A "CustEdit" is the system edit box that, when linked to a spinner, hands
// a typed number over as soon as it loses the focus.
LRESULT CALLBACK CustEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    // Numbers may be wider than the box, and the box needs a visible edge.
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    create->style |= ES_AUTOHSCROLL | WS_BORDER;
    SetWindowLongPtrA(window, GWL_STYLE, create->style);
  }
  auto* spinner = static_cast<Spinner*>(GetPropA(window, kLinkedSpinnerProp));
  const LRESULT result = CallWindowProcA(systemEditProc, window, message, wParam, lParam);
  if (spinner != nullptr) {
    if (message == WM_KILLFOCUS) spinner->TakeTypedValue();
    if (message == WM_NCDESTROY) {
      RemovePropA(window, kLinkedSpinnerProp);
      spinner->ForgetEdit();
    }
  }
  return result;
}

void RegisterSpinnerClass() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(LibraryInstance(), kSpinnerClass, &wc)) return;
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = SpinnerProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = LibraryInstance();
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_SIZENS));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kSpinnerClass;
  RegisterClassExA(&wc);
}

// Derived from the system "Edit" class: same storage, our procedure first.
void RegisterCustEditClass() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(LibraryInstance(), kCustEditClass, &wc)) return;
  if (!GetClassInfoExA(nullptr, "Edit", &wc)) return;
  systemEditProc = wc.lpfnWndProc;
  wc.cbSize = sizeof wc;
  wc.style |= CS_GLOBALCLASS;
  wc.lpfnWndProc = CustEditProc;
  wc.hInstance = LibraryInstance();
  wc.lpszClassName = kCustEditClass;
  RegisterClassExA(&wc);
}

}  // namespace

void InitCustomControls(HINSTANCE) {
  ++initCount;
  RegisterSpinnerClass();
  RegisterCustEditClass();
}

int CustomControlsInitCount() { return initCount; }

ISpinnerControl* GetISpinner(HWND window) {
  char className[32] = "";
  if (window == nullptr || !GetClassNameA(window, className, sizeof className) ||
      std::strcmp(className, kSpinnerClass) != 0)
    return nullptr;
  Spinner* spinner = SpinnerOf(window);
  if (spinner == nullptr) return nullptr;
  spinner->AddRef();
  ++spinnersHeld;
  return spinner;
}

void ReleaseISpinner(ISpinnerControl* spinner) {
  if (spinner == nullptr) return;
  --spinnersHeld;
  static_cast<Spinner*>(spinner)->Release();
}

int SpinnersHeld() { return spinnersHeld; }
