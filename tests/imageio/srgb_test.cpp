// ColorLevel against the definition in docs/command.md, evaluated the slow way:
// round(srgb(clamp(v, 0, 1)) x 65535) in double precision.
#include "imageio/srgb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace selvo {
namespace {

uint16_t Defined(float value, bool linear) {
  double v = std::isnan(value) ? 0.0 : std::clamp(double(value), 0.0, 1.0);
  if (!linear) v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  return uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
}

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t BitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Half-float bits widened to the float they stand for.
float FromHalf(uint16_t half) {
  const uint32_t sign = uint32_t(half >> 15) << 31;
  const int exponent = (half >> 10) & 0x1F;
  const uint32_t mantissa = half & 0x3FF;
  if (exponent == 0x1F) return FromBits(sign | 0x7F800000u | mantissa << 13);
  const float magnitude = exponent == 0 ? std::ldexp(float(mantissa), -24)
                                        : std::ldexp(float(mantissa | 0x400), exponent - 25);
  return sign ? -magnitude : magnitude;
}

// Both encodings of `value` as defined; the first failure stops the test.
::testing::AssertionResult AsDefined(float value) {
  for (bool linear : {false, true}) {
    const uint16_t level = ColorLevel(value, linear), defined = Defined(value, linear);
    if (level != defined)
      return ::testing::AssertionFailure()
             << value << (linear ? " linear: " : " sRGB: ") << level << ", defined as " << defined;
  }
  return ::testing::AssertionSuccess();
}

TEST(ColorLevel, EveryHalfFloatValue) {
  EXPECT_EQ(FromHalf(0x3C00), 1.0f);  // the widening itself
  EXPECT_EQ(FromHalf(0x0001), std::ldexp(1.0f, -24));
  EXPECT_EQ(FromHalf(0xC000), -2.0f);
  for (uint32_t half = 0; half <= 0xFFFF; ++half) ASSERT_TRUE(AsDefined(FromHalf(uint16_t(half))));
}

// Where the level steps up, the float before and the float after: the
// edge of each of the 65,535 steps is found by bisecting the floats in 0..1
// with the definition.
TEST(ColorLevel, EveryStepEdgeAndTheFloatsBesideIt) {
  uint32_t low = 0;  // bits of a float whose level is below the next step
  const uint32_t one = BitsOf(1.0f);
  for (int level = 1; level <= 65535; ++level) {
    uint32_t high = one;  // level 65535 at the latest
    while (high - low > 1) {
      const uint32_t middle = low + (high - low) / 2;
      (Defined(FromBits(middle), false) >= level ? high : low) = middle;
    }
    const float edge = FromBits(high);
    ASSERT_GE(Defined(edge, false), level);
    ASSERT_LT(Defined(std::nextafter(edge, 0.0f), false), level);
    ASSERT_TRUE(AsDefined(edge));
    ASSERT_TRUE(AsDefined(std::nextafter(edge, 0.0f)));
    ASSERT_TRUE(AsDefined(std::nextafter(edge, 2.0f)));
    low = high - 1;
  }
}

TEST(ColorLevel, MillionsOfRandomFloats) {
  std::mt19937 random(20261209);
  // Every bit pattern from 0 to 1 alike (most of them small values), then
  // values spread evenly over 0..1, then any bit pattern at all.
  std::uniform_int_distribution<uint32_t> upToOne(0, BitsOf(1.0f));
  std::uniform_real_distribution<float> evenly(0.0f, 1.0f);
  std::uniform_int_distribution<uint32_t> anyBits;
  for (int i = 0; i < 2000000; ++i) ASSERT_TRUE(AsDefined(FromBits(upToOne(random))));
  for (int i = 0; i < 2000000; ++i) ASSERT_TRUE(AsDefined(evenly(random)));
  for (int i = 0; i < 500000; ++i) ASSERT_TRUE(AsDefined(FromBits(anyBits(random))));
}

TEST(ColorLevel, OutOfRangeAndSpecialValues) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float v : {-inf, -1.0f, -0.0f, 0.0f, -std::numeric_limits<float>::denorm_min()})
    EXPECT_EQ(ColorLevel(v, false), 0) << v;
  EXPECT_EQ(ColorLevel(std::numeric_limits<float>::quiet_NaN(), false), 0);
  EXPECT_EQ(ColorLevel(-std::numeric_limits<float>::quiet_NaN(), true), 0);
  for (float v : {1.0f, 1.5f, 65535.0f, std::numeric_limits<float>::max(), inf}) {
    EXPECT_EQ(ColorLevel(v, false), 65535) << v;
    EXPECT_EQ(ColorLevel(v, true), 65535) << v;
  }
  // The smallest positive value is far below half a level either way.
  EXPECT_EQ(ColorLevel(std::numeric_limits<float>::denorm_min(), false), 0);
}

// Below linear 0.0031308 the sRGB curve is the line 12.92 x v, above it
// 1.055 x v^(1/2.4) - 0.055; the level is that x 65535, rounded. So 0.001
// gives 0.01292 x 65535 = 846.7, 0.0031 gives 2624.8 and 0.0032, past the
// knee, 0.041323 x 65535 = 2708.1.
TEST(ColorLevel, DarkEndFollowsTheLinearSegmentUpToTheKnee) {
  const std::pair<float, uint16_t> levels[] = {{0.0005f, 423}, {0.001f, 847},   {0.002f, 1693},
                                               {0.003f, 2540}, {0.0031f, 2625}, {0.0032f, 2708},
                                               {0.004f, 3323}, {0.01f, 6544}};
  for (const auto& [linear, level] : levels) EXPECT_EQ(ColorLevel(linear, false), level) << linear;
  EXPECT_EQ(ColorLevel(0.001f, true), 66);  // 65.5: only scaled when taken as it is
  // Linear 0.5 is sRGB 0.735357: 48192.1 of 65535.
  EXPECT_EQ(ColorLevel(0.5f, false), 48192);
  EXPECT_EQ(ColorLevel(0.5f, true), 32768);  // 32767.5 rounds up
}

}  // namespace
}  // namespace selvo
