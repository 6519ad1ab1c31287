#include "imageio/srgb.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace selvo {
namespace {

constexpr int kLevels = 65536;

// The sRGB transfer function as it is defined, for v in 0..1. It builds the
// table and is not evaluated per value.
double Curve(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

int LevelByCurve(float value) { return int(std::lround(std::min(Curve(value), 1.0) * 65535)); }

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Positive floats order like their bit patterns, and the level never falls
// as the value grows: a value's level is the number of thresholds (the least
// value of each level) at or below it. The curve, interpolated linearly
// between points 2^15 floats apart (256 per power of two), comes within a
// few hundredths of a level of the defined value; rounded, it is the level
// or one of its neighbours, and the two thresholds around it settle which.
class SrgbTable {
 public:
  SrgbTable() : thresholds_(kLevels + 1) {
    for (int level = 1; level < kLevels; ++level) thresholds_[level] = Bits(LeastOfLevel(level));
    thresholds_[kLevels] = UINT32_MAX;  // never reached: values of 1 and above return early
    first_ = thresholds_[1] >> kSegmentShift << kSegmentShift;
    const uint32_t segments = ((Bits(1.0f) - first_) >> kSegmentShift) + 1;
    for (uint32_t s = 0; s < segments; ++s) {
      const uint32_t start = first_ + (s << kSegmentShift);
      const double level = ScaledCurve(start);
      starts_.push_back(float(level));
      slopes_.push_back(
          float((ScaledCurve(start + (1u << kSegmentShift)) - level) / (1u << kSegmentShift)));
    }
  }

  // A value in (0, 1).
  uint16_t Level(float value) const {
    const uint32_t bits = Bits(value);
    if (bits < first_) return 0;
    const uint32_t segment = (bits - first_) >> kSegmentShift;
    const float offset = float(bits & ((1u << kSegmentShift) - 1));
    int level = int(starts_[segment] + offset * slopes_[segment] + 0.5f);
    level = std::clamp(level, 0, kLevels - 1);
    level += thresholds_[level + 1] <= bits;
    level -= thresholds_[level] > bits;
    return uint16_t(level);
  }

 private:
  static constexpr int kSegmentShift = 15;

  // The curve x 65535 before rounding, at a float's bits.
  static double ScaledCurve(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return 65535 * Curve(std::min(double(value), 1.0));
  }

  // The least float whose level is `level`: from the inverted curve, then
  // float by float to the exact edge.
  static float LeastOfLevel(int level) {
    const double encoded = (level - 0.5) / 65535;
    const double v =
        encoded <= 12.92 * 0.0031308 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
    float least = float(v);
    if (LevelByCurve(least) < level) {
      do least = std::nextafter(least, 1.0f);
      while (LevelByCurve(least) < level);
      return least;
    }
    for (float below; LevelByCurve(below = std::nextafter(least, 0.0f)) >= level;) least = below;
    return least;
  }

  std::vector<uint32_t> thresholds_;  // [level]: the least value's bits; [0] is 0
  std::vector<float> starts_;         // per segment: the scaled curve at its start
  std::vector<float> slopes_;         // and its rise per float
  uint32_t first_ = 0;                // the first segment's start; smaller values are level 0
};

}  // namespace

uint16_t ColorLevel(float value, bool linear) {
  if (!(value > 0)) return 0;  // negative, zero and NaN
  if (value >= 1) return 65535;
  if (linear) return uint16_t(double(value) * 65535 + 0.5);  // exact product, rounded half up
  static const SrgbTable table;
  return table.Level(value);
}

}  // namespace selvo
