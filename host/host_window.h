// The stand-in host's main window: the parent the host hands to a filter's
// setup and about dialogs, which centre themselves on it.
#pragma once

#include <windows.h>

class HostWindow {
 public:
  HostWindow();  // visible, titled "Selvo Host"
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND Handle() const { return window_; }  // null when it could not be made

 private:
  HWND window_ = nullptr;
};
