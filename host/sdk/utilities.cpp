#include "host/sdk/utilities.h"

#include <cstdlib>
#include <cstring>

void zfree(void** block) {
  if (block == nullptr || *block == nullptr) return;
  std::free(*block);
  *block = nullptr;
}

void CenterWindow(HWND window, HWND parent) {
  RECT own;
  if (!GetWindowRect(window, &own)) return;
  RECT workArea;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  RECT around = workArea;
  if (parent != nullptr) GetWindowRect(parent, &around);

  const LONG width = own.right - own.left;
  const LONG height = own.bottom - own.top;
  LONG left = around.left + ((around.right - around.left) - width) / 2;
  LONG top = around.top + ((around.bottom - around.top) - height) / 2;
  // Keep the title bar reachable when the parent sits near a screen edge.
  if (left + width > workArea.right) left = workArea.right - width;
  if (top + height > workArea.bottom) top = workArea.bottom - height;
  if (left < workArea.left) left = workArea.left;
  if (top < workArea.top) top = workArea.top;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

FilterList::FilterList() = default;

FilterList::~FilterList() { zfree(reinterpret_cast<void**>(&buffer_)); }

void FilterList::Append(const char* text) {
  if (text == nullptr) return;
  const size_t length = std::strlen(text) + 1;
  // Room for the entry, its NUL, and the list's closing NUL.
  void* grown = std::realloc(buffer_, used_ + length + 1);
  if (grown == nullptr) return;
  buffer_ = static_cast<char*>(grown);
  std::memcpy(buffer_ + used_, text, length);
  used_ += length;
  buffer_[used_] = '\0';
}

FilterList::operator char*() {
  static char empty[2] = {'\0', '\0'};
  return buffer_ != nullptr ? buffer_ : empty;
}
