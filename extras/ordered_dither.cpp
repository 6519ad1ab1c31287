#include "extras/ordered_dither.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace selvo {
namespace {

// The Bayer matrices: each doubling puts 4 B + (0, 2; 3, 1) in every
// quadrant of the one before, so every threshold appears once and each
// level adds the pixel farthest from those already drawn.
constexpr uint8_t kBayer4[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};
constexpr uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

}  // namespace

int PatternLevels(OrderedDither kind) {
  switch (kind) {
    case OrderedDither::kBayer4: return 16;
    case OrderedDither::kBayer8: return 64;
    default: return 1;
  }
}

int PatternThreshold(OrderedDither kind, int x, int y) {
  switch (kind) {
    case OrderedDither::kBayer4: return kBayer4[y & 3][x & 3];
    case OrderedDither::kBayer8: return kBayer8[y & 7][x & 7];
    default: return 0;
  }
}

uint8_t MapUniformOrdered(const Pixel64& color, int x, int y, const ColorRange& range,
                          OrderedDither kind) {
  const int levels = PatternLevels(kind);
  const int span = std::abs(int(range.to) - int(range.from));  // n - 1
  const int m = levels * span + 1;
  const int f = int((m * Luminance(color)) * (1.0 / 65536));
  const int step = f / levels + (f % levels > PatternThreshold(kind, x, y) ? 1 : 0);
  return uint8_t(range.to < range.from ? range.from - step : range.from + step);
}

NearestPair FindTwoMostSimilar(const Pixel64& color, const ColorRange& range,
                               const uint8_t palette[kPaletteSize], ColorMatching matching) {
  const uint8_t first = FindMostSimilar(color, range, palette, matching);
  NearestPair pair{first, first};
  if (range.from >= range.to) return pair;
  const ColorPoint p = PointOfPixel(matching, color);
  const uint8_t* firstColor = palette + 3 * first;
  int64_t best = INT64_MAX;
  for (int k = range.from; k <= range.to; ++k) {
    if (std::memcmp(palette + 3 * k, firstColor, 3) == 0) continue;
    const int64_t d = SquaredDistance(p, PointOfEntry(matching, palette + 3 * k));
    if (d < best) {
      best = d;
      pair.second = uint8_t(k);
    }
  }
  return pair;
}

uint8_t ChooseBetween(const ColorPoint& color, uint8_t first, const ColorPoint& firstPoint,
                      uint8_t second, const ColorPoint& secondPoint, int levels, int threshold) {
  if (first == second) return first;
  // Coordinates stay within 2^23 of each other, so both products fit
  // easily; t <= 1/2 since A is the nearer, hence share <= levels / 2.
  int64_t along = 0, length = 0;
  for (int i = 0; i < 3; ++i) {
    const int64_t toColor = int64_t(color.c[i]) - firstPoint.c[i];
    const int64_t toSecond = int64_t(secondPoint.c[i]) - firstPoint.c[i];
    along += toColor * toSecond;
    length += toSecond * toSecond;
  }
  const int64_t share = std::max<int64_t>(along, 0) * levels / length;
  return share > threshold ? second : first;
}

uint8_t MapSimilarOrdered(const Pixel64& color, int x, int y, const ColorRange& range,
                          const uint8_t palette[kPaletteSize], ColorMatching matching,
                          OrderedDither kind) {
  const NearestPair pair = FindTwoMostSimilar(color, range, palette, matching);
  return ChooseBetween(PointOfPixel(matching, color), pair.first,
                       PointOfEntry(matching, palette + 3 * pair.first), pair.second,
                       PointOfEntry(matching, palette + 3 * pair.second), PatternLevels(kind),
                       PatternThreshold(kind, x, y));
}

}  // namespace selvo
