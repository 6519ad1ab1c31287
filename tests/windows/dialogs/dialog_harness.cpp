#include "tests/windows/dialogs/dialog_harness.h"

#include <iomanip>
#include <sstream>

#include "host/host_window.h"

namespace {

constexpr DWORD kAppearTimeoutMs = 20000;

// File name box of the system file dialog: a combo box in the Explorer
// style, an edit box in the older one.
constexpr int kFileNameCombo = 0x47c;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

struct ScriptJob {
  const char* title;
  const std::function<void(HWND)>* script;
};

DWORD WINAPI ScriptThread(void* parameter) {
  auto& job = *static_cast<ScriptJob*>(parameter);
  HWND dialog = WaitForWindow(job.title, kAppearTimeoutMs);
  if (dialog == nullptr) {
    ADD_FAILURE() << "no window titled \"" << job.title << "\" appeared";
    return 0;
  }
  WaitUntilSettled(dialog);
  (*job.script)(dialog);
  if (IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return 0;
}

int RunWithScript(const char* title, const std::function<void(HWND)>& script,
                  const std::function<int()>& open) {
  ScriptJob job{title, &script};
  HANDLE thread = CreateThread(nullptr, 0, ScriptThread, &job, 0, nullptr);
  const int result = open();
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return result;
}

}  // namespace

FilterSession::FilterSession() {
  if (!loaded_.Load()) ADD_FAILURE() << "no filter from " << wintest::ModulePath();
}

void FilterSession::Store(const selvo::RendererConfig& config) {
  std::vector<uint8_t> block(selvo::kConfigSize);
  selvo::SaveConfig(config, block.data());
  EXPECT_TRUE(filter().LoadConfig(block.data()));
}

std::vector<uint8_t> FilterSession::Block() {
  std::vector<uint8_t> block(selvo::kConfigSize);
  EXPECT_TRUE(filter().SaveConfig(block.data()));
  return block;
}

selvo::RendererConfig FilterSession::Settings() {
  selvo::RendererConfig config;
  selvo::LoadConfig(config, Block().data());
  return config;
}

int FilterSession::RunSetup(const std::function<void(HWND)>& script) {
  return RunWithScript(kSetupTitle, script, [this] {
    HostWindow host;
    return int(filter().ShowSetupDialog(host.Handle()));
  });
}

int FilterSession::RunAbout(const std::function<void(HWND)>& script) {
  return RunWithScript(kAboutTitle, script, [this] {
    HostWindow host;
    return filter().ShowAboutBox(host.Handle());
  });
}

std::string ItemText(HWND dialog, int id) {
  char text[1024] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
}

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PostCommand(HWND window, int id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void Sync(HWND window) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

void WaitUntilGone(HWND window) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && GetTickCount() - start < kAppearTimeoutMs) Sleep(20);
}

void TypeInto(HWND dialog, int id, const std::string& text) {
  HWND edit = GetDlgItem(dialog, id);
  for (char c : text) SendMessageA(edit, WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1);
}

void LeftClickAt(HWND dialog, int x, int y) {
  SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void RightClickAt(HWND dialog, int x, int y) {
  SendMessageA(dialog, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
  SendMessageA(dialog, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
}

int ClientBottom(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  return client.bottom;
}

DLGPROC DialogProcedure(HWND dialog) {
  return reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
}

static HWND FileNameBox(HWND chooser) {
  HWND box = GetDlgItem(chooser, kFileNameCombo);
  return box != nullptr ? box : GetDlgItem(chooser, kFileNameEdit);
}

bool ConfirmFileDialog(HWND chooser, const std::string& name) {
  HWND box = FileNameBox(chooser);
  if (box == nullptr) return false;
  SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
  return true;
}

std::string FileDialogName(HWND chooser) {
  HWND box = FileNameBox(chooser);
  char text[1024] = "";
  if (box != nullptr) SendMessageA(box, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string Hex(uint32_t rgb) {
  std::ostringstream text;
  text << "#" << std::hex << std::setw(6) << std::setfill('0') << rgb;
  return text.str();
}

::testing::AssertionResult PixelIs(const WindowPixels& pixels, int x, int y, uint32_t expected) {
  const uint32_t actual = pixels.At(x, y);
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "pixel (" << x << ", " << y << ") is " << Hex(actual) << ", expected " << Hex(expected);
}
