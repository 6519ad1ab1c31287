// The host's frame and progress window as the core's frame driver sees
// them.
#pragma once

#include <windows.h>

#include "core/frame_driver.h"
#include "host/sdk/image_filter.h"

class HostFrame : public selvo::FrameAccess {
 public:
  // `info` may be null when the host gave no description: frame 0.
  HostFrame(Bitmap& bitmap, const ImageFilterInfo* info)
      : bitmap_(bitmap), info_(info) {}

  uint16_t Width() const override;
  uint16_t Height() const override;
  const void* IdChannel(int selector) override;
  bool FetchPixels(int x, int y, int count, selvo::Pixel64* destination) override;
  // The host takes pixels back one at a time.
  void StorePixels(int x, int y, int count, const selvo::Pixel64* source) override;
  int FrameNumber() const override;

 private:
  Bitmap& bitmap_;
  const ImageFilterInfo* info_;
};

// Reports to the host's progress window with messages 1056 and 1057.
class HostProgressWindow : public selvo::RowProgress {
 public:
  explicit HostProgressWindow(HWND window) : window_(window) {}

  void ReportProgress(int row, int lastRow) override;
  void QueryAbort(int32_t* abortFlag) override;

 private:
  HWND window_;
};
