// The frame every speed figure is measured on: smoothly shaded objects over a
// shaded floor, with noise, so that nearly every pixel has a colour of its
// own, as in a rendered frame; plus the object-ID pass of the same frame.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "core/map_pixel.h"

namespace selvo::test {

struct TestFrame {
  int width = 0;
  int height = 0;
  std::vector<Pixel64> pixels;  // row-major, alpha 65535
  std::vector<uint8_t> ids;     // 0 for the floor, 1.. for the objects
};

// The same seed gives the same frame on every machine. Frames of one
// sequence differ by their seed: the objects move a little, the noise
// changes.
TestFrame MakeTestFrame(int width, int height, uint32_t seed);

// `width` pixels of random 16-bit levels, alpha included.
std::vector<Pixel64> RandomRow(std::mt19937& rng, int width);

}  // namespace selvo::test
