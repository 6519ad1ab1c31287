// The frame the core's driver renders, over decoded images instead of a
// host's bitmap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/image.h"
#include "core/frame_driver.h"

namespace selvo {

// The IDs in the form the selected channel has: bytes for the material
// effects channel (selector 2), 16-bit values for the object channel (4).
struct FrameIds {
  int selector = kMaterialEffectsSelector;
  std::vector<uint8_t> bytes;
  std::vector<uint16_t> words;
};

// Narrows the IDs to the channel; "" or an error naming `source` and the
// first ID that does not fit (the material channel holds 0..255).
std::string NarrowIds(const IdImage& ids, int selector, const std::string& source,
                      FrameIds& narrowed);

// "" when colour and IDs have the same size, else an error naming both.
std::string CheckSameSize(const ColorImage& color, const std::string& colorSource,
                          const IdImage& ids, const std::string& idSource);

// The frame keeps references: `color` receives the written-back pixels.
class ImageFrame : public FrameAccess {
 public:
  ImageFrame(ColorImage& color, const FrameIds& ids, int frameNumber)
      : color_(color), ids_(ids), frameNumber_(frameNumber) {}

  uint16_t Width() const override { return uint16_t(color_.width); }
  uint16_t Height() const override { return uint16_t(color_.height); }
  const void* IdChannel(int selector) override;
  bool FetchPixels(int x, int y, int count, Pixel64* destination) override;
  void StorePixels(int x, int y, int count, const Pixel64* source) override;
  int FrameNumber() const override { return frameNumber_; }

 private:
  bool InRow(int x, int y, int count) const;

  ColorImage& color_;
  const FrameIds& ids_;
  int frameNumber_;
};

}  // namespace selvo
