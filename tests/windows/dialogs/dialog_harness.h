// A small harness for driving the module's dialogs with real window
// messages under Wine: the dialog runs modally on the main thread, as in
// the host, while a script on a second thread finds it, sends it messages,
// probes its pixels and closes it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/renderer_config.h"
#include "host/loaded_module.h"
#include "host/sdk/image_filter.h"
#include "host/window_capture.h"

// ---- Checks: a failed check is reported and counted, the case goes on. ----
void ReportFailure(const char* file, int line, const std::string& what);
int FailureCount();

template <typename A, typename B>
void CheckEqual(const A& actual, const B& expected, const char* text, const char* file,
                int line) {
  if (actual == expected) return;
  std::ostringstream message;
  message << text << ": got " << actual << ", expected " << expected;
  ReportFailure(file, line, message.str());
}

#define CHECK(condition) \
  ((condition) ? void() : ReportFailure(__FILE__, __LINE__, "failed: " #condition))
#define CHECK_EQ(actual, expected) \
  CheckEqual((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)

std::string BesideThisProgram(const char* name);

// ---- The module, loaded as the host loads it, and one filter object. ----
class FilterSession {
 public:
  FilterSession();  // loads Selvo.flt from beside this program
  ~FilterSession();
  bool ok() const { return filter_ != nullptr; }
  ImageFilter& filter() { return *filter_; }

  void Store(const selvo::RendererConfig& config);  // as the host hands back a block
  selvo::RendererConfig Settings();                 // as the host saves the block
  std::vector<uint8_t> Block();

  // Runs the dialog modally here while `script` runs on a second thread
  // with the dialog's window (null if it never appeared). A dialog the
  // script left open is cancelled. Returns the dialog operation's result.
  int RunSetup(const std::function<void(HWND dialog)>& script);
  int RunAbout(const std::function<void(HWND dialog)>& script);

 private:
  LoadedModule module_;
  ImageFilter* filter_ = nullptr;
};

constexpr char kSetupTitle[] = "Selvo Palette Renderer Control";
constexpr char kAboutTitle[] = "About Selvo Filter";
constexpr char kOutputChooserTitle[] =
    "Save File Name (Frame number will be added automatically)";
constexpr char kPaletteChooserTitle[] = "Load Palette from PCX";

// ---- Controls, from the script thread. ----
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
void Click(HWND dialog, int id);           // BM_CLICK: as a user's click, handled at once
void PostCommand(HWND window, int id);     // for commands that open another modal dialog
void Sync(HWND window);                    // returns once the window's thread is idle
void WaitUntilGone(HWND window);
void TypeInto(HWND dialog, int id, const std::string& text);  // WM_CHAR, one by one

// A click on the dialog's client area at (x, y), read unsigned by the dialog.
void LeftClickAt(HWND dialog, int x, int y);
void RightClickAt(HWND dialog, int x, int y);

int ClientBottom(HWND dialog);

// Sets the file name box of a system file dialog and confirms it; false
// when no such box was found.
bool ConfirmFileDialog(HWND chooser, const std::string& name);
std::string FileDialogName(HWND chooser);

// ---- Pixels ----
constexpr uint32_t Rgb(int r, int g, int b) {
  return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}
std::string Hex(uint32_t rgb);

void CheckPixel(const WindowPixels& pixels, int x, int y, uint32_t expected, const char* text,
                const char* file, int line);
#define CHECK_PIXEL(pixels, x, y, rgb) CheckPixel(pixels, x, y, rgb, #x ", " #y, __FILE__, __LINE__)
