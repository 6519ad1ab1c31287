#include "host/window_capture.h"

#include <cstdio>

namespace {

constexpr DWORD kPollMs = 20;

bool CaptureFromDc(HDC source, int width, int height, WindowPixels& pixels) {
  if (source == nullptr || width <= 0 || height <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return false;
  HDC memory = CreateCompatibleDC(source);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != 0;
  GdiFlush();
  if (copied) {
    const auto* p = static_cast<const uint32_t*>(bits);
    pixels.width = width;
    pixels.height = height;
    pixels.rgb.assign(p, p + size_t(width) * size_t(height));
    for (uint32_t& v : pixels.rgb) v &= 0x00FFFFFFu;
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
  return copied;
}

BOOL CALLBACK AnyChildNeedsPaint(HWND child, LPARAM found) {
  if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

bool NeedsPaint(HWND window) {
  bool found = GetUpdateRect(window, nullptr, FALSE) != 0;
  if (!found) EnumChildWindows(window, AnyChildNeedsPaint, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

HWND WaitForWindow(const char* title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA(nullptr, title);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

void WaitUntilSettled(HWND window) {
  // The first showing goes through the display driver asynchronously; no
  // message tells when it is over, so wait for a quiet spell.
  constexpr int kQuietPolls = 10;
  const DWORD start = GetTickCount();
  for (int quiet = 0; quiet < kQuietPolls && GetTickCount() - start < 5000;) {
    Sleep(kPollMs);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    quiet = NeedsPaint(window) ? 0 : quiet + 1;
  }
}

void RepaintAndWait(HWND window) {
  // No RDW_UPDATENOW: the window's own thread must paint the way it always
  // does, erasing its background within its WM_PAINT.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  const DWORD start = GetTickCount();
  while (NeedsPaint(window) && GetTickCount() - start < 5000) Sleep(kPollMs);
  // The window's thread answers a sent message only between messages, so
  // once this returns a painting that had begun has also ended.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

bool CaptureWindow(HWND window, WindowPixels& pixels) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  HDC dc = GetWindowDC(window);
  const bool ok = CaptureFromDc(dc, rect.right - rect.left, rect.bottom - rect.top, pixels);
  if (dc != nullptr) ReleaseDC(window, dc);
  return ok;
}

bool CaptureClient(HWND window, WindowPixels& pixels) {
  RECT rect;
  if (!GetClientRect(window, &rect)) return false;
  HDC dc = GetDC(window);
  const bool ok = CaptureFromDc(dc, rect.right, rect.bottom, pixels);
  if (dc != nullptr) ReleaseDC(window, dc);
  return ok;
}

bool WriteBmp(const std::string& path, const WindowPixels& pixels) {
  if (pixels.width <= 0 || pixels.height <= 0) return false;
  const size_t rowBytes = (size_t(pixels.width) * 3 + 3) & ~size_t(3);
  const size_t imageBytes = rowBytes * size_t(pixels.height);
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = DWORD(file.bfOffBits + imageBytes);
  info.biSize = sizeof info;
  info.biWidth = pixels.width;
  info.biHeight = pixels.height;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = DWORD(imageBytes);
  std::vector<unsigned char> image(imageBytes, 0);
  for (int y = 0; y < pixels.height; ++y) {
    unsigned char* row = image.data() + size_t(pixels.height - 1 - y) * rowBytes;
    for (int x = 0; x < pixels.width; ++x) {
      const uint32_t v = pixels.At(x, y);
      row[3 * x + 0] = uint8_t(v);        // blue
      row[3 * x + 1] = uint8_t(v >> 8);   // green
      row[3 * x + 2] = uint8_t(v >> 16);  // red
    }
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
            std::fwrite(&info, sizeof info, 1, out) == 1 &&
            std::fwrite(image.data(), 1, imageBytes, out) == imageBytes;
  ok = std::fclose(out) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}
