#include "extras/oklab.h"

#include <cmath>
#include <vector>

namespace selvo {
namespace {

// y^k by repeated multiplication, in a fixed order.
template <int K>
double Power(double y) {
  double p = y;
  for (int i = 1; i < K; ++i) p *= y;
  return p;
}

// x^(1/N) for x > 0. With x = m 2^(N q + r), m in [0.5, 1) and 0 <= r < N
// (frexp and ldexp are exact), the root is m^(1/N) 2^q 2^(r/N); m^(1/N)
// comes from five Newton steps from the chord through (0.5, 0.5^(1/N)) and
// (1, 1), which start within 2% and end within an ulp.
template <int N>
double Root(double x, const double (&twoToTheRByN)[N], double rootOfHalf) {
  if (!(x > 0)) return 0;
  int e;
  const double m = std::frexp(x, &e);
  int q = e / N, r = e % N;
  if (r < 0) {
    r += N;
    --q;
  }
  double y = rootOfHalf + (1 - rootOfHalf) * (2 * m - 1);
  for (int step = 0; step < 5; ++step) y = ((N - 1) * y + m / Power<N - 1>(y)) / N;
  return std::ldexp(y * twoToTheRByN[r], q);
}

constexpr double kTwoToTheThirds[3] = {1.0, 1.2599210498948732, 1.5874010519681994};
constexpr double kTwoToTheFifths[5] = {1.0, 1.148698354997035, 1.3195079107728942,
                                       1.515716566510398, 1.7411011265922482};

double LinearOfUnit(double c) {
  if (c <= 0.04045) return c / 12.92;
  const double u = (c + 0.055) / 1.055;
  const double square = u * u;
  return square * FifthRoot(square);  // u^2.4 = u^2 (u^2)^(1/5)
}

// One value per 16-bit level, made the first time a colour is converted.
const std::vector<double>& LinearLevels() {
  static const std::vector<double> levels = [] {
    std::vector<double> table(65536);
    for (int v = 0; v < 65536; ++v) table[v] = LinearOfUnit(v / 65535.0);
    return table;
  }();
  return levels;
}

ColorPoint Quantized(const double lab[3]) {
  ColorPoint point;
  for (int i = 0; i < 3; ++i) point.c[i] = int32_t(std::lround(lab[i] * kOklabScale));
  return point;
}

ColorPoint OklabOfLevels(uint16_t r, uint16_t g, uint16_t b) {
  const std::vector<double>& levels = LinearLevels();
  const double linear[3] = {levels[r], levels[g], levels[b]};
  double lab[3];
  LinearToOklab(linear, lab);
  return Quantized(lab);
}

}  // namespace

double CubeRoot(double x) { return Root<3>(x, kTwoToTheThirds, 0.7937005259840998); }
double FifthRoot(double x) { return Root<5>(x, kTwoToTheFifths, 0.8705505632961241); }

double LinearOfLevel(uint16_t level) { return LinearLevels()[level]; }

void LinearToOklab(const double linear[3], double lab[3]) {
  double rooted[3];
  for (int i = 0; i < 3; ++i) rooted[i] = CubeRoot(MatrixRow(kLinearToLms, i, linear));
  for (int i = 0; i < 3; ++i) lab[i] = MatrixRow(kLmsToOklab, i, rooted);
}

ColorPoint OklabOfPixel(const Pixel64& color) { return OklabOfLevels(color.r, color.g, color.b); }

ColorPoint OklabOfEntry(const uint8_t rgb[3]) {
  return OklabOfLevels(uint16_t(rgb[0] * 257), uint16_t(rgb[1] * 257), uint16_t(rgb[2] * 257));
}

ColorPoint PointOfPixel(ColorMatching matching, const Pixel64& color) {
  if (matching == ColorMatching::kOklab) return OklabOfPixel(color);
  return ColorPoint{{color.r, color.g, color.b}};
}

ColorPoint PointOfEntry(ColorMatching matching, const uint8_t rgb[3]) {
  if (matching == ColorMatching::kOklab) return OklabOfEntry(rgb);
  return ColorPoint{{256 * rgb[0], 256 * rgb[1], 256 * rgb[2]}};
}

uint8_t FindMostSimilar(const Pixel64& color, const ColorRange& range,
                        const uint8_t palette[kPaletteSize], ColorMatching matching) {
  if (range.from > range.to) return range.from;
  const ColorPoint p = PointOfPixel(matching, color);
  int index = range.from;
  int64_t best = INT64_MAX;
  for (int k = range.from; k <= range.to; ++k) {
    const int64_t d = SquaredDistance(p, PointOfEntry(matching, palette + 3 * k));
    if (d < best) {
      best = d;
      index = k;
    }
  }
  return uint8_t(index);
}

}  // namespace selvo
