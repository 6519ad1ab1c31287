#include "plugin/host_frame.h"

#include <cstddef>

// The core's pixel record is the host's, field for field.
static_assert(sizeof(selvo::Pixel64) == sizeof(BMM_Color_64));
static_assert(offsetof(selvo::Pixel64, r) == offsetof(BMM_Color_64, r));
static_assert(offsetof(selvo::Pixel64, g) == offsetof(BMM_Color_64, g));
static_assert(offsetof(selvo::Pixel64, b) == offsetof(BMM_Color_64, b));
static_assert(offsetof(selvo::Pixel64, a) == offsetof(BMM_Color_64, a));

uint16_t HostFrame::Width() const { return bitmap_.Width(); }
uint16_t HostFrame::Height() const { return bitmap_.Height(); }

const void* HostFrame::IdChannel(int selector) {
  return bitmap_.GetChannel(ULONG(selector));
}

bool HostFrame::FetchPixels(int x, int y, int count, selvo::Pixel64* destination) {
  return bitmap_.GetPixels(x, y, count,
                           reinterpret_cast<BMM_Color_64*>(destination)) == 1;
}

void HostFrame::StorePixels(int x, int y, int count, const selvo::Pixel64* source) {
  for (int i = 0; i < count; ++i) {
    const BMM_Color_64 pixel{source[i].r, source[i].g, source[i].b, source[i].a};
    bitmap_.PutPixels(x + i, y, 1, &pixel);
  }
}

int HostFrame::FrameNumber() const { return info_ != nullptr ? info_->frameNumber : 0; }

void HostProgressWindow::ReportProgress(int row, int lastRow) {
  SendMessageA(window_, selvo::kProgressMessage, WPARAM(row), LPARAM(lastRow));
}

void HostProgressWindow::QueryAbort(int32_t* abortFlag) {
  SendMessageA(window_, selvo::kAbortQueryMessage, 0,
               reinterpret_cast<LPARAM>(abortFlag));
}
