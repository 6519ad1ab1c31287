// Looking at dialogs from outside: finding a window by its title while a
// modal dialog runs on another thread, and copying its pixels, so that a
// person (screenshots) or a test (pixel probes) can see what it shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The visible top-level window with this exact title, waited for up to
// `timeoutMs`; null when none appeared.
HWND WaitForWindow(const char* title, DWORD timeoutMs);

// Waits until a window that has just appeared has been shown, mapped and
// painted, so that no late repaint of its first showing is still to come.
void WaitUntilSettled(HWND window);

// Repaints the window and its children and returns once the painting has
// been done by the window's own thread.
void RepaintAndWait(HWND window);

struct WindowPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB, rows top-down

  // 0xFFFFFFFF outside the picture, which no pixel can be.
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
    return rgb[size_t(y) * size_t(width) + size_t(x)];
  }
};

// The whole window, frame and caption included.
bool CaptureWindow(HWND window, WindowPixels& pixels);
// The client area only, so that (x, y) are client coordinates.
bool CaptureClient(HWND window, WindowPixels& pixels);

// An uncompressed 24-bit BMP file.
bool WriteBmp(const std::string& path, const WindowPixels& pixels);
