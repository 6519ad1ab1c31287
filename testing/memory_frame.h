// A frame held in memory, as the frame driver sees frames from image files:
// its own pixels, palettized in place, with either or both ID channels; and
// a progress receiver that reports nowhere and never asks to stop.
#pragma once

#include <cstdint>
#include <vector>

#include "core/frame_driver.h"
#include "core/map_pixel.h"

namespace selvo::test {

struct MemoryFrame {
  MemoryFrame(int width, int height)
      : width(width), height(height), pixels(std::size_t(width) * height) {}

  FrameView View() {
    FrameView view;
    view.width = width;
    view.height = height;
    view.pixels = pixels.data();
    if (!materialIds.empty()) view.materialIds.bytes = materialIds.data();
    if (!objectIds.empty()) view.objectIds.words = objectIds.data();
    view.frameNumber = frameNumber;
    return view;
  }

  Pixel64& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }

  int width, height;
  std::vector<Pixel64> pixels;  // row-major
  std::vector<uint8_t> materialIds;
  std::vector<uint16_t> objectIds;
  int frameNumber = 7;
};

class NoProgress : public RowProgress {
 public:
  void ReportProgress(int, int) override {}
  bool StopRequested() override { return false; }
};

}  // namespace selvo::test
