#include "core/map_pixel.h"

namespace selvo {

double Luminance(const Pixel64& color) {
  return (0.11 * color.b + 0.59 * color.g) + 0.3 * color.r;
}

uint8_t MapUniform(const Pixel64& color, const ColorRange& range) {
  const int n = int(range.to) - int(range.from) + 1;
  const int t = int((n * Luminance(color)) * (-1.0 / 65536));
  return uint8_t(range.from - t);  // From - t stays within 0..255
}

uint8_t MapUniformDithered(const Pixel64& color, int x, int y,
                           const ColorRange& range) {
  const int m = 2 * (int(range.to) - int(range.from)) + 1;
  const int f = int((m * Luminance(color)) * (1.0 / 65536));
  int index = range.from + f / 2;
  if (f % 2 != 0 && (x + y) % 2 != 0) ++index;
  // A reversed range starting at 255 would step to 256 here; the pixel keeps
  // its From entry instead, the nearest index the palette has.
  return uint8_t(index > 255 ? 255 : index);
}

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
  return range.dither != 0 ? MapUniformDithered(color, x, y, range)
                           : MapUniform(color, range);
}

}  // namespace selvo
