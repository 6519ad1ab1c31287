#include "plugin/host_frame.h"

#include <cstddef>

namespace {
// The progress window's messages: the row about to
// be processed with H - 1, and the query whose receiver sets the abort flag.
constexpr UINT kProgressMessage = WM_USER + 32;    // 1056
constexpr UINT kAbortQueryMessage = WM_USER + 33;  // 1057
}  // namespace

// The core's pixel record is the host's, field for field.
static_assert(sizeof(selvo::Pixel64) == sizeof(BMM_Color_64));
static_assert(offsetof(selvo::Pixel64, r) == offsetof(BMM_Color_64, r));
static_assert(offsetof(selvo::Pixel64, g) == offsetof(BMM_Color_64, g));
static_assert(offsetof(selvo::Pixel64, b) == offsetof(BMM_Color_64, b));
static_assert(offsetof(selvo::Pixel64, a) == offsetof(BMM_Color_64, a));

ULONG HostChannelSelector(selvo::IdChannel channel) {
  return channel == selvo::IdChannel::kMaterialEffects ? kMaterialEffectsIdChannel
                                                       : kObjectIdChannel;
}

selvo::FrameView HostFrame::View(selvo::IdChannel channel) {
  selvo::FrameView view;
  view.width = width_ = bitmap_.Width();
  view.height = bitmap_.Height();
  view.rowTransfer = this;
  view.frameNumber = info_ != nullptr ? info_->frameNumber : 0;
  if (view.width == 0 || view.height == 0) return view;
  const void* ids = bitmap_.GetChannel(HostChannelSelector(channel));
  if (channel == selvo::IdChannel::kMaterialEffects)
    view.materialIds.bytes = static_cast<const uint8_t*>(ids);
  else view.objectIds.words = static_cast<const uint16_t*>(ids);
  return view;
}

bool HostFrame::FetchRow(int y, selvo::Pixel64* row) {
  return bitmap_.GetPixels(0, y, width_, reinterpret_cast<BMM_Color_64*>(row)) == 1;
}

// The driver hands a row back only once all of it is mapped, so the host's
// bitmap never holds a half-palettized row.
void HostFrame::StoreRow(int y, const selvo::Pixel64* row) {
  for (int x = 0; x < width_; ++x) {
    const BMM_Color_64 pixel{row[x].r, row[x].g, row[x].b, row[x].a};
    bitmap_.PutPixels(x, y, 1, &pixel);
  }
}

void HostProgressWindow::ReportProgress(int row, int lastRow) {
  SendMessageA(window_, kProgressMessage, WPARAM(row), LPARAM(lastRow));
}

bool HostProgressWindow::StopRequested() {
  SendMessageA(window_, kAbortQueryMessage, 0, reinterpret_cast<LPARAM>(&abortFlag_));
  return abortFlag_ != 0;
}
