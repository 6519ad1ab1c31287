// The frame the core's driver renders, over decoded images instead of a
// host's bitmap: its rows and IDs are the images' own buffers.
#pragma once

#include <cstdint>
#include <vector>

#include "core/frame_driver.h"
#include "imageio/image.h"

namespace selvo {

// A frame's IDs as they were loaded: 16-bit values from an ID image, or the
// demo scene's own bytes (material) or 16-bit values (object).
struct FrameIds {
  std::vector<uint8_t> bytes;
  std::vector<uint16_t> words;
};

// The frame over `color`, which receives the written-back pixels, with
// `ids` as `channel`.
FrameView ImageFrame(ColorImage& color, const FrameIds& ids, IdChannel channel, int frameNumber);

}  // namespace selvo
