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

  // The frame with `channel`, asked of the host only when the bitmap has
  // pixels.
  selvo::FrameView View(selvo::IdChannel channel);

  bool FetchRow(int y, selvo::Pixel64* row) override;
  void StoreRow(int y, const selvo::Pixel64* row) override;

 private:
  Bitmap& bitmap_;
  const ImageFilterInfo* info_;
  int width_ = 0;
};

// The host's selector of an ID channel, as GetRequiredChannels names it
// and the bitmap's channel fetch takes it.
ULONG HostChannelSelector(selvo::IdChannel channel);

// Reports to the host's progress window with its messages. The abort flag
// is the host's to set at any time during the frame: it is cleared once,
// when the frame starts (this object lives for one frame), and its address
// goes with every abort query.
class HostProgressWindow : public selvo::RowProgress {
 public:
  explicit HostProgressWindow(HWND window) : window_(window) {}

  void ReportProgress(int row, int lastRow) override;
  bool StopRequested() override;

 private:
  HWND window_;
  int32_t abortFlag_ = 0;
};
