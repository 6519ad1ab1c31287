// A small harness for driving the module's dialogs with real window
// messages under Wine: the dialog runs modally on the main thread, as in
// the host, while a script on a second thread finds it, sends it messages,
// probes its pixels and closes it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/renderer_config.h"
#include "host/window_capture.h"
#include "tests/windows/windows_test_support.h"

// ---- The module, loaded as the host loads it, and one filter object. ----
class FilterSession {
 public:
  FilterSession();  // loads Selvo.flt from beside this program
  bool ok() const { return loaded_.filter != nullptr; }
  ImageFilter& filter() { return *loaded_.filter; }

  void Store(const selvo::RendererConfig& config);  // as the host hands back a block
  selvo::RendererConfig Settings();                 // as the host saves the block
  std::vector<uint8_t> Block();

  // Runs the dialog modally here while `script` runs on a second thread
  // with the dialog's window; a dialog that never appears is a failure, and
  // the script is then not run. A dialog the script left open is cancelled.
  // Returns the dialog operation's result.
  int RunSetup(const std::function<void(HWND dialog)>& script);
  int RunAbout(const std::function<void(HWND dialog)>& script);

 private:
  wintest::LoadedFilter loaded_;
};

constexpr char kSetupTitle[] = "Selvo Palette Renderer Control";
constexpr char kAboutTitle[] = "About Selvo Filter";
constexpr char kOutputChooserTitle[] = "Save File Name (Frame number will be added automatically)";
constexpr char kPaletteChooserTitle[] = "Load Palette from PCX";

// ---- Controls, from the script thread. ----
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
void Click(HWND dialog, int id);        // BM_CLICK: as a user's click, handled at once
void PostCommand(HWND window, int id);  // for commands that open another modal dialog
void Sync(HWND window);                 // returns once the window's thread is idle
void WaitUntilGone(HWND window);
void TypeInto(HWND dialog, int id, const std::string& text);  // WM_CHAR, one by one

// A click on the dialog's client area at (x, y), read unsigned by the dialog.
void LeftClickAt(HWND dialog, int x, int y);
void RightClickAt(HWND dialog, int x, int y);

int ClientBottom(HWND dialog);

// The dialog's own procedure, as the dialog manager calls it: what it
// answers is the dialog manager's to act on, not the window's result.
DLGPROC DialogProcedure(HWND dialog);

// Sets the file name box of a system file dialog and confirms it; false
// when no such box was found.
bool ConfirmFileDialog(HWND chooser, const std::string& name);
std::string FileDialogName(HWND chooser);

// ---- Pixels ----
constexpr uint32_t Rgb(int r, int g, int b) {
  return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}
std::string Hex(uint32_t rgb);

// The captured pixel at (x, y) has the colour `expected`.
::testing::AssertionResult PixelIs(const WindowPixels& pixels, int x, int y, uint32_t expected);
