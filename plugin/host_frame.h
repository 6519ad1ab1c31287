// The host's frame and progress window as the core's frame driver sees
// them.
#pragma once

#include <windows.h>

#include "core/frame_driver.h"
#include "host/sdk/image_filter.h"

// The host hands out its bitmap's pixels a row at a time and takes them
// back one pixel at a time.
class HostFrame : public selvo::RowTransfer {
 public:
  // `info` may be null when the host gave no description: frame 0.
  HostFrame(Bitmap& bitmap, const ImageFilterInfo* info) : bitmap_(bitmap), info_(info) {}

  // The frame with the ID channel of `selector`, asked of the host only
  // when the bitmap has pixels.
  selvo::FrameView View(int selector);

  bool FetchRow(int y, selvo::Pixel64* row) override;
  void StoreRow(int y, const selvo::Pixel64* row) override;

 private:
  Bitmap& bitmap_;
  const ImageFilterInfo* info_;
  int width_ = 0;
};

// Reports to the host's progress window with its messages.
class HostProgressWindow : public selvo::RowProgress {
 public:
  explicit HostProgressWindow(HWND window) : window_(window) {}

  void ReportProgress(int row, int lastRow) override;
  void QueryAbort(int32_t* abortFlag) override;

 private:
  HWND window_;
};
