// Colours as points of the space "most similar colour" measures in: the
// filter's RGB levels, or OKLab (Björn Ottosson's published matrices).
#pragma once

#include <cstdint>

#include "core/map_pixel.h"
#include "core/renderer_config.h"
#include "extras/extras.h"

namespace selvo {

// A colour's coordinates, in integers so that distances, ties and the
// bounds of the fast search are exact:
//  - RGB: the pixel's 16-bit levels, a palette byte v as v * 256, exactly as
//    the filter compares them;
//  - OKLab: L, a, b times 2^22, rounded to the nearest whole number. One
//    unit is 2.4e-7, far below any visible difference (neighbouring 16-bit
//    mid-tones lie some 60 units apart).
struct ColorPoint {
  int32_t c[3];
};

constexpr double kOklabScale = 4194304.0;  // 2^22

inline int64_t SquaredDistance(const ColorPoint& p, const ColorPoint& q) {
  const int64_t d0 = int64_t(p.c[0]) - q.c[0];
  const int64_t d1 = int64_t(p.c[1]) - q.c[1];
  const int64_t d2 = int64_t(p.c[2]) - q.c[2];
  return d0 * d0 + d1 * d1 + d2 * d2;
}

// The sRGB curve undone: linear light of a 16-bit level v, from
// c = v / 65535: c / 12.92 up to 0.04045, ((c + 0.055) / 1.055)^2.4 above.
// A palette byte v is the level v * 257 (v / 255 = v * 257 / 65535).
double LinearOfLevel(uint16_t level);

// The last level of the curve's straight part (2650 / 65535 <= 0.04045).
// The power part starts a hair above where the straight part ends (2.3e-9),
// so the curve rises with every level but is not continuous there.
constexpr int kLastStraightLevel = 2650;

// The curve's slope, linear light per level, at level v: 1 / (12.92 x
// 65535) up to kLastStraightLevel, the power part's above; rising with v on
// either side.
double CurveSlope(double level);

// Linear sRGB to cone responses (LMS), and cube-rooted LMS to L, a, b.
constexpr double kLinearToLms[3][3] = {
    {0.4122214708, 0.5363325363, 0.0514459929},
    {0.2119034982, 0.6806995451, 0.1073969566},
    {0.0883024619, 0.2817188376, 0.6299787005},
};
constexpr double kLmsToOklab[3][3] = {
    {0.2104542553, 0.7936177850, -0.0040720468},
    {1.9779984951, -2.4285922050, 0.4505937099},
    {0.0259040371, 0.7827717662, -0.8086757660},
};

// Row i of a matrix applied to v, summed in one fixed order.
inline double MatrixRow(const double (&matrix)[3][3], int i, const double v[3]) {
  return (matrix[i][0] * v[0] + matrix[i][1] * v[1]) + matrix[i][2] * v[2];
}

// OKLab of linear sRGB, unrounded: the two matrices with the cube root
// between them.
void LinearToOklab(const double linear[3], double lab[3]);

ColorPoint OklabOfPixel(const Pixel64& color);
ColorPoint OklabOfEntry(const uint8_t rgb[3]);

ColorPoint PointOfPixel(ColorMatching matching, const Pixel64& color);
ColorPoint PointOfEntry(ColorMatching matching, const uint8_t rgb[3]);

// Cube and fifth roots of x >= 0 by a fixed number of Halley steps from a
// fixed start, using only operations IEEE arithmetic rounds exactly, so that
// every platform's library gives the same bits (std::cbrt and std::pow are
// not required to).
double CubeRoot(double x);
double FifthRoot(double x);

// The most similar entry of From..To measured in `matching`, by a linear
// search: the strict comparison leaves ties with the lowest index; From > To
// gives From. With kRgb this is the filter's FindMostSimilarColor.
uint8_t FindMostSimilar(const Pixel64& color, const ColorRange& range,
                        const uint8_t palette[kPaletteSize], ColorMatching matching);

}  // namespace selvo
