// OKLab as published, an OKLab tie worked by hand, and the fast band search
// against the linear searches that define its answers, ties included.
#include "extras/oklab.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/map_pixel.h"
#include "extras/band_search.h"
#include "extras/ordered_dither.h"
#include "testing/test_frame.h"

namespace selvo {
namespace {

using Palette = std::array<uint8_t, kPaletteSize>;

Pixel64 Grey(int v) { return Pixel64{uint16_t(v), uint16_t(v), uint16_t(v), 65535}; }

void SetEntry(Palette& palette, int k, int r, int g, int b) {
  palette[3 * k] = uint8_t(r);
  palette[3 * k + 1] = uint8_t(g);
  palette[3 * k + 2] = uint8_t(b);
}

// sRGB primaries and white as Björn Ottosson publishes them (to 4 places).
TEST(Oklab, PrimariesAsPublished) {
  const struct {
    double rgb[3];
    double lab[3];
  } cases[] = {
      {{1, 0, 0}, {0.6280, 0.2249, 0.1258}},
      {{0, 1, 0}, {0.8664, -0.2339, 0.1795}},
      {{0, 0, 1}, {0.4520, -0.0325, -0.3115}},
      {{1, 1, 1}, {1.0000, 0.0000, 0.0000}},
  };
  for (const auto& c : cases) {
    double lab[3];
    LinearToOklab(c.rgb, lab);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(lab[i], c.lab[i], 1e-4) << c.rgb[0] << c.rgb[1];
  }
  const ColorPoint black = OklabOfPixel(Grey(0));
  EXPECT_EQ(black.c[0] | black.c[1] | black.c[2], 0);
}

// The roots lie within a few ulps (1e-15 relative: 4.5 ulps), checked by
// raising them back in long double (std::pow(x, 0.2) is no fifth root: 0.2
// is not 1/5, which at 1e300 makes 8e-15), and the curve rises with every
// level; the search's cell bounds rely on both, within their slack.
TEST(Oklab, RootsAndCurve) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> exponent(-30, 2);
  const auto raisedBack = [](double root, int n, double x) {
    return double(std::pow((long double)root, n) / x);
  };
  for (int i = 0; i < 100003; ++i) {
    const double extremes[] = {5e-324, 1e-310, 1e300};  // subnormal ones are scaled first
    const double x = i < 100000 ? std::pow(2.0, exponent(rng)) : extremes[i - 100000];
    EXPECT_NEAR(raisedBack(CubeRoot(x), 3, x), 1, 3e-15) << x;
    EXPECT_NEAR(raisedBack(FifthRoot(x), 5, x), 1, 5e-15) << x;
  }
  EXPECT_EQ(CubeRoot(0), 0);
  EXPECT_EQ(LinearOfLevel(0), 0);
  EXPECT_NEAR(LinearOfLevel(65535), 1, 1e-15);
  for (int v = 1; v < 65536; ++v) ASSERT_GT(LinearOfLevel(v), LinearOfLevel(v - 1)) << v;
}

// Greys lie on the L axis (a and b round to 0). Grey 86, grey 90 and the
// 16-bit grey 22615 have L = 1900696, 1961264 and 1930980 units of 2^-22
// (worked with the published matrices and the sRGB curve), and 1930980 is
// exactly midway: a tie, which the lower index wins in either order. RGB
// takes grey 90 (22615 is 599 from 86 x 256 and 425 from 90 x 256).
TEST(Oklab, TieGoesToTheLowerIndex) {
  const Pixel64 pixel = Grey(22615);
  for (const auto& [first, second] : {std::pair{86, 90}, std::pair{90, 86}}) {
    Palette palette{};
    SetEntry(palette, 40, first, first, first);
    SetEntry(palette, 41, second, second, second);
    ASSERT_EQ(SquaredDistance(OklabOfPixel(pixel), OklabOfEntry(palette.data() + 3 * 40)),
              SquaredDistance(OklabOfPixel(pixel), OklabOfEntry(palette.data() + 3 * 41)));
    const ColorRange band{40, 41, 0};
    EXPECT_EQ(FindMostSimilar(pixel, band, palette.data(), ColorMatching::kOklab), 40);
    EXPECT_EQ(BandSearch(palette.data(), 40, 41, ColorMatching::kOklab, 1).Nearest(pixel), 40);
    EXPECT_EQ(FindMostSimilarColor(pixel, band, palette.data()), first == 90 ? 40 : 41);
  }
}

Palette DefaultPalette() {
  Palette palette;
  FillDefaultPalette(palette.data());
  return palette;
}

// Palettes where the fast search is most likely to part from the linear
// one: random, few levels (duplicates and equidistant colours everywhere), a
// grey ramp, and everything bunched near one colour.
std::vector<Palette> TestPalettes(std::mt19937& rng) {
  std::vector<Palette> palettes{DefaultPalette()};
  std::uniform_int_distribution<int> byte(0, 255), level(0, 4), offset(-6, 6);
  Palette random, coarse, ramp, cluster;
  for (int k = 0; k < 256; ++k) {
    SetEntry(random, k, byte(rng), byte(rng), byte(rng));
    SetEntry(coarse, k, std::min(255, 64 * level(rng)), std::min(255, 64 * level(rng)),
             std::min(255, 64 * level(rng)));
    SetEntry(ramp, k, k, k, k);
    SetEntry(cluster, k, 30 + offset(rng), 180 + offset(rng), 90 + offset(rng));
  }
  palettes.insert(palettes.end(), {random, coarse, ramp, cluster});
  return palettes;
}

// Random colours, the entries themselves (at 256 and 257 per step),
// midpoints of two entries, the edges of the search's cells, near-black
// colours (whose OKLab cells are widest) and pixels of the test frame.
std::vector<Pixel64> ProbeColors(const Palette& palette, std::mt19937& rng, int count) {
  static const test::TestFrame frame = test::MakeTestFrame(64, 48, 3);
  std::uniform_int_distribution<int> level(0, 65535), entry(0, 255), kind(0, 5), dark(0, 1500);
  std::uniform_int_distribution<int> edge(0, 64), side(-1, 0);
  std::uniform_int_distribution<std::size_t> framePixel(0, frame.pixels.size() - 1);
  std::vector<Pixel64> colors;
  for (int i = 0; i < count; ++i) {
    const int a = entry(rng), b = entry(rng);
    int v[3];
    switch (kind(rng)) {
      case 0:
        for (int& x : v) x = level(rng);
        break;
      case 1:
        for (int c = 0; c < 3; ++c) v[c] = palette[3 * a + c] * (i % 2 ? 256 : 257);
        break;
      case 2:
        for (int c = 0; c < 3; ++c) v[c] = (palette[3 * a + c] + palette[3 * b + c]) * 128;
        break;
      case 3:
        for (int& x : v) x = std::clamp(edge(rng) * 1024 + side(rng), 0, 65535);
        break;
      case 4:
        for (int& x : v) x = dark(rng);
        break;
      default: colors.push_back(frame.pixels[framePixel(rng)]); continue;
    }
    colors.push_back(Pixel64{uint16_t(v[0]), uint16_t(v[1]), uint16_t(v[2]), 65535});
  }
  return colors;
}

// Every palette, a whole band, a random one, a short one, a reversed one:
// Nearest against FindMostSimilar in OKLab, Dithered against
// MapSimilarOrdered in both spaces and both patterns.
TEST(BandSearch, GivesTheLinearSearchesIndices) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> byte(0, 255), position(0, 63), coin(0, 1);
  for (const Palette& palette : TestPalettes(rng)) {
    const int a = byte(rng), b = byte(rng);
    const ColorRange bands[] = {{0, 255, 0},
                                {uint8_t(std::min(a, b)), uint8_t(std::max(a, b)), 0},
                                {100, 103, 0},
                                {200, 20, 0}};
    for (const ColorRange& band : bands) {
      BandSearch nearest(palette.data(), band.from, band.to, ColorMatching::kOklab, 1);
      BandSearch rgbPairs(palette.data(), band.from, band.to, ColorMatching::kRgb, 2);
      BandSearch oklabPairs(palette.data(), band.from, band.to, ColorMatching::kOklab, 2);
      for (const Pixel64& color : ProbeColors(palette, rng, 1500)) {
        ASSERT_EQ(nearest.Nearest(color),
                  FindMostSimilar(color, band, palette.data(), ColorMatching::kOklab))
            << color.r << " " << color.g << " " << color.b << " band " << int(band.from) << ".."
            << int(band.to);
        const int x = position(rng), y = position(rng);
        const OrderedDither kind = coin(rng) ? OrderedDither::kBayer4 : OrderedDither::kBayer8;
        for (BandSearch* pairs : {&rgbPairs, &oklabPairs})
          ASSERT_EQ(pairs->Dithered(color, PatternLevels(kind), PatternThreshold(kind, x, y)),
                    MapSimilarOrdered(color, x, y, band, palette.data(), pairs->matching(), kind))
              << color.r << " " << color.g << " " << color.b << " at " << x << ", " << y << " band "
              << int(band.from) << ".." << int(band.to);
      }
    }
  }
}

}  // namespace
}  // namespace selvo
