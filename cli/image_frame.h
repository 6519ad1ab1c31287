// The frame the core's driver renders, over decoded images instead of a
// host's bitmap: its rows and IDs are the images' own buffers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/image.h"
#include "core/frame_driver.h"

namespace selvo {

// A frame's IDs as they were loaded: 16-bit values from an ID image, or the
// demo scene's own bytes (material) or 16-bit values (object).
struct FrameIds {
  std::vector<uint8_t> bytes;
  std::vector<uint16_t> words;
};

// "" when every ID fits the channel of `selector`, else an error naming
// `source` and the first ID that does not (the material channel holds
// 0..255).
std::string CheckIdsFit(const IdImage& ids, int selector, const std::string& source);

// "" when colour and IDs have the same size, else an error naming both.
std::string CheckSameSize(const ColorImage& color, const std::string& colorSource,
                          const IdImage& ids, const std::string& idSource);

// The frame over `color`, which receives the written-back pixels, with
// `ids` as the channel of `selector`.
FrameView ImageFrame(ColorImage& color, const FrameIds& ids, int selector, int frameNumber);

}  // namespace selvo
