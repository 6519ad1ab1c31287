// Choosing one pixel's palette index within the band of its ID.
#pragma once

#include <cstdint>

#include "core/renderer_config.h"

namespace selvo {

// The host's pixel record: four 16-bit components in this order. A palette
// byte v stands for the component v * 256.
struct Pixel64 {
  uint16_t r = 0;
  uint16_t g = 0;
  uint16_t b = 0;
  uint16_t a = 0;
};

// Luminance-ramp variants. L = (0.11 b + 0.59 g) + 0.3 r, in doubles and in
// exactly that order, so that every platform picks the same entry. Inline, so
// that row loops over them compile without a call per pixel.
inline double Luminance(const Pixel64& color) {
  return (0.11 * color.b + 0.59 * color.g) + 0.3 * color.r;
}

inline uint8_t MapUniform(const Pixel64& color, const ColorRange& range) {
  const int n = int(range.to) - int(range.from) + 1;
  const int t = int((n * Luminance(color)) * (-1.0 / 65536));
  return uint8_t(range.from - t);  // From - t stays within 0..255
}

inline uint8_t MapUniformDithered(const Pixel64& color, int x, int y, const ColorRange& range) {
  const int m = 2 * (int(range.to) - int(range.from)) + 1;
  const int f = int((m * Luminance(color)) * (1.0 / 65536));
  // One step up where f is odd (also when negative: its low bit is set) and
  // x + y is odd; as bit arithmetic, since noise makes a branch on it
  // unpredictable.
  const int index = range.from + f / 2 + (f & (x + y) & 1);
  // A reversed range starting at 255 would step to 256 here; the pixel keeps
  // its From entry instead, the nearest index the palette has.
  return uint8_t(index > 255 ? 255 : index);
}

// The entry of From..To nearest to the colour (palette bytes scaled by 256);
// the lowest index wins a tie. From > To gives From without a search. This
// linear search defines the result; frames are mapped through
// NearestColorSearch (core/nearest_color.h), which gives the same index.
uint8_t FindMostSimilarColor(const Pixel64& color, const ColorRange& range,
                             const uint8_t palette[kPaletteSize]);

// Dispatch by the configured method (1023 uniform, anything else nearest).
uint8_t MapPixel(const Pixel64& color, int x, int y, const ColorRange& range,
                 const uint8_t palette[kPaletteSize], int32_t method);

// The range that applies to a pixel ID. Only IDs 0..15 have one; larger
// object IDs fall back to ID 0's range.
inline const ColorRange& RangeForId(const RendererConfig& config, unsigned id) {
  return config.ranges[id < kRangeCount ? id : 0];
}

}  // namespace selvo
