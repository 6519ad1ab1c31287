#include "host/dialog_screenshot.h"

#include <windows.h>

#include "host/host_window.h"
#include "host/sdk/image_filter.h"
#include "host/window_capture.h"

namespace {

constexpr DWORD kAppearTimeoutMs = 15000;

struct CaptureJob {
  const char* title = nullptr;
  std::string path;
  bool written = false;
  std::string error;
};

// Runs beside the modal dialog: waits for it, captures it, closes it.
DWORD WINAPI CaptureThread(void* parameter) {
  auto& job = *static_cast<CaptureJob*>(parameter);
  HWND dialog = WaitForWindow(job.title, kAppearTimeoutMs);
  if (dialog == nullptr) {
    job.error = std::string("no window \"") + job.title + "\" appeared";
    return 0;
  }
  WaitUntilSettled(dialog);
  RepaintAndWait(dialog);
  WindowPixels pixels;
  if (!CaptureWindow(dialog, pixels)) job.error = "cannot copy the dialog's pixels";
  else if (!WriteBmp(job.path, pixels)) job.error = "cannot write the file";
  else job.written = true;
  // Cancel leaves the settings alone; the about box closes on it as on OK.
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return 0;
}

}  // namespace

bool ScreenshotDialog(ImageFilter& filter, const std::string& dialog, const std::string& path,
                      std::string& error) {
  const bool setup = dialog == "setup";
  if (!setup && dialog != "about") {
    error = "unknown dialog \"" + dialog + "\" (setup or about)";
    return false;
  }
  CaptureJob job;
  job.title = setup ? "Selvo Palette Renderer Control" : "About Selvo Filter";
  job.path = path;
  HANDLE thread = CreateThread(nullptr, 0, CaptureThread, &job, 0, nullptr);
  if (thread == nullptr) {
    error = "cannot start the capture thread";
    return false;
  }
  HostWindow host;  // the dialog centres itself on it
  if (setup) filter.ShowSetupDialog(host.Handle());
  else filter.ShowAboutBox(host.Handle());
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  error = job.error;
  return job.written;
}
