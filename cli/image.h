// Decoded input images, in the forms the frame driver consumes.
#pragma once

#include <cstdint>
#include <vector>

#include "core/map_pixel.h"

namespace selvo {

// Frames and PCX files hold their size in 16 bits: larger images are refused
// before their pixels are read.
constexpr int kMaxImageSide = 65535;

struct ColorImage {
  int width = 0;
  int height = 0;
  std::vector<Pixel64> pixels;  // row-major from the top row
};

// Whole, non-negative IDs of at most 16 bits; whether they fit the channel
// the settings select is checked when the frame is put together.
struct IdImage {
  int width = 0;
  int height = 0;
  std::vector<uint16_t> ids;
};

}  // namespace selvo
