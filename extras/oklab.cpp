#include "extras/oklab.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace selvo {
namespace {

// x^(1/N) for x > 0. With x = m 2^(N q + r), m in [0.5, 1) and 0 <= r < N
// (frexp and ldexp are exact), the root is m^(1/N) 2^q 2^(r/N). m^(1/N)
// starts from the parabola through its values at 0.5, 0.75 and 1 (within
// 0.6%), and two of Halley's steps, y (N-1) y^N + (N+1) m over (N+1) y^N +
// (N-1) m, each cubing the error, end within an ulp or two.
template <int N>
struct RootTerms {
  double atHalf, atThreeQuarters;
  double twoToTheRByN[N];
};

// 2^q for q within the doubles' normal range, built from its bits (exact,
// and inline where std::ldexp is a library call).
double TwoToThe(int q) {
  const uint64_t bits = uint64_t(q + 1023) << 52;
  double power;
  std::memcpy(&power, &bits, sizeof power);
  return power;
}

template <int N>
double Root(double x, const RootTerms<N>& terms) {
  if (!(x > 0)) return 0;
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int field = int(bits >> 52) & 0x7FF;
  // Subnormal: scaled by 2^60 (exact), whose root 2^(60 / N) is whole.
  if (field == 0) return Root(x * TwoToThe(60), terms) * TwoToThe(-60 / N);
  // x = m 2^e with m in [0.5, 1), as frexp splits it.
  const int e = field - 1022;
  bits = (bits & ~(uint64_t(0x7FF) << 52)) | (uint64_t(1022) << 52);
  double m;
  std::memcpy(&m, &bits, sizeof m);
  int q = e / N, r = e % N;
  if (r < 0) {
    r += N;
    --q;
  }
  double y = 8 * terms.atHalf * ((m - 0.75) * (m - 1)) -
             16 * terms.atThreeQuarters * ((m - 0.5) * (m - 1)) + 8 * ((m - 0.5) * (m - 0.75));
  for (int step = 0; step < 2; ++step) {
    double power = y;
    for (int i = 1; i < N; ++i) power *= y;
    y = y * ((N - 1) * power + (N + 1) * m) / ((N + 1) * power + (N - 1) * m);
  }
  return y * terms.twoToTheRByN[r] * TwoToThe(q);
}

constexpr RootTerms<3> kCubeRootTerms = {
    0.7937005259840998, 0.9085602964160698, {1.0, 1.2599210498948732, 1.5874010519681994}};
constexpr RootTerms<5> kFifthRootTerms = {
    0.8705505632961241,
    0.944087511294902,
    {1.0, 1.148698354997035, 1.3195079107728942, 1.515716566510398, 1.7411011265922482}};

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

// v x 2^22 rounded to the nearest whole number, halves away from zero, as
// std::lround rounds (exactly: the fraction of a double is exact), inline.
int32_t Quantize(double v) {
  const double scaled = v * kOklabScale;
  const int32_t whole = int32_t(scaled);
  const double fraction = scaled - whole;
  return whole + (fraction >= 0.5) - (fraction <= -0.5);
}

ColorPoint Quantized(const double lab[3]) {
  ColorPoint point;
  for (int i = 0; i < 3; ++i) point.c[i] = Quantize(lab[i]);
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

double CubeRoot(double x) { return Root(x, kCubeRootTerms); }
double FifthRoot(double x) { return Root(x, kFifthRootTerms); }

double LinearOfLevel(uint16_t level) { return LinearLevels()[level]; }

double CurveSlope(double level) {
  if (level <= kLastStraightLevel) return 1 / (12.92 * 65535);
  const double u = (level / 65535 + 0.055) / 1.055;
  // d/dc u^2.4 = 2.4 / 1.055 u^1.4, with u^1.4 = u (u^2)^(1/5).
  return 2.4 / 1.055 * (u * FifthRoot(u * u)) / 65535;
}

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
