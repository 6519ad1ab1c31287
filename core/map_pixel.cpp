#include "core/map_pixel.h"

namespace selvo {

uint8_t FindMostSimilarColor(const Pixel64& color, const ColorRange& range,
                             const uint8_t palette[kPaletteSize]) {
  int index = range.from;
  if (range.from > range.to) return uint8_t(index);
  // Squared distances stay below 2^35, so integers give exactly the result
  // the double arithmetic of the original definition gives.
  int64_t best = INT64_MAX;
  for (int k = range.from; k <= range.to; ++k) {
    const uint8_t* entry = palette + 3 * k;
    const int64_t db = 256 * entry[2] - int64_t(color.b);
    const int64_t dg = 256 * entry[1] - int64_t(color.g);
    const int64_t dr = 256 * entry[0] - int64_t(color.r);
    const int64_t d = db * db + dg * dg + dr * dr;
    if (d < best) {  // strict: the lowest index wins a tie
      best = d;
      index = k;
    }
  }
  return uint8_t(index);
}

uint8_t MapPixel(const Pixel64& color, int x, int y, const ColorRange& range,
                 const uint8_t palette[kPaletteSize], int32_t method) {
  if (method != kUniformDistribution) return FindMostSimilarColor(color, range, palette);
  return range.dither != 0 ? MapUniformDithered(color, x, y, range) : MapUniform(color, range);
}

}  // namespace selvo
