// Small host helpers that modules use in their dialogs.
#pragma once

#include <windows.h>

#include "host/sdk/sdk_api.h"

// Moves `window` so that it is centred on `parent` (on the screen when the
// parent is null), kept within the screen's work area.
SELVOSDK_API void CenterWindow(HWND window, HWND parent);

// Frees the block *block points to and sets *block to null; a null *block
// is left alone.
SELVOSDK_API void zfree(void** block);

// Builds the filter string of a file dialog: descriptions and patterns
// appended in turn, each NUL-terminated, the whole ended by a second NUL.
class SELVOSDK_API FilterList {
 public:
  FilterList();
  ~FilterList();
  FilterList(const FilterList&) = delete;
  FilterList& operator=(const FilterList&) = delete;

  void Append(const char* text);
  operator char*();  // "" with its double NUL while nothing was appended

 private:
  char* buffer_ = nullptr;  // malloc'd, released with zfree
  size_t used_ = 0;         // bytes up to and including the last entry's NUL
};
