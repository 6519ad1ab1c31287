// The ordered dithers by hand: a 4 x 4 Bayer ramp over a band of three
// entries, forward and reversed, the 8 x 8 pattern's coverage, and the
// dither between the two most similar colours.
#include "extras/ordered_dither.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace selvo {
namespace {

using Tile = std::array<std::array<int, 4>, 4>;

Pixel64 Grey(int v) { return Pixel64{uint16_t(v), uint16_t(v), uint16_t(v), 65535}; }

// The indices of the 4 x 4 pixels from frame position (x0, y0).
template <typename Map>
Tile TileAt(int x0, int y0, Map map) {
  Tile tile;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) tile[y][x] = map(x0 + x, y0 + y);
  return tile;
}

Tile UniformTile(int grey, ColorRange range, int x0 = 0, int y0 = 0) {
  return TileAt(x0, y0, [&](int x, int y) {
    return MapUniformOrdered(Grey(grey), x, y, range, OrderedDither::kBayer4);
  });
}

// Band 16..18 with Bayer 4 x 4: m = 16 * 2 + 1 = 33, F = trunc(33 L / 65536).
// Each grey below sits in the middle of its F, whose steps are 1986 levels
// apart. The thresholds are
//    0  8  2 10
//   12  4 14  6
//    3 11  1  9
//   15  7 13  5
TEST(OrderedDither, Bayer4RampByHand) {
  const ColorRange band{16, 18, 0};
  // F = 0: entry 16 everywhere.
  EXPECT_EQ(UniformTile(993, band),
            (Tile{{{16, 16, 16, 16}, {16, 16, 16, 16}, {16, 16, 16, 16}, {16, 16, 16, 16}}}));
  // F = 5: 16 plus 5/16 of 17, where the threshold is 0..4.
  const Tile five{{{17, 16, 17, 16}, {16, 17, 16, 16}, {17, 16, 17, 16}, {16, 16, 16, 16}}};
  EXPECT_EQ(UniformTile(10923, band), five);
  // F = 16: exactly entry 17.
  EXPECT_EQ(UniformTile(32768, band),
            (Tile{{{17, 17, 17, 17}, {17, 17, 17, 17}, {17, 17, 17, 17}, {17, 17, 17, 17}}}));
  // F = 24: 17 plus 8/16 of 18, a checkerboard.
  EXPECT_EQ(UniformTile(48656, band),
            (Tile{{{18, 17, 18, 17}, {17, 18, 17, 18}, {18, 17, 18, 17}, {17, 18, 17, 18}}}));
  // The brightest level lands on To: F = trunc(33 * 65535 / 65536) = 32.
  EXPECT_EQ(UniformTile(65535, band),
            (Tile{{{18, 18, 18, 18}, {18, 18, 18, 18}, {18, 18, 18, 18}, {18, 18, 18, 18}}}));

  // Anchored to the frame: four pixels on, the same tile; one on, shifted.
  EXPECT_EQ(UniformTile(10923, band, 4, 8), five);
  EXPECT_EQ(UniformTile(10923, band, 1, 0),
            (Tile{{{16, 17, 16, 17}, {17, 16, 16, 16}, {16, 17, 16, 17}, {16, 16, 16, 16}}}));

  // Reversed, the band runs down from From: F = 5 is 18 with 5/16 of 17.
  EXPECT_EQ(UniformTile(10923, ColorRange{18, 16, 0}),
            (Tile{{{17, 18, 17, 18}, {18, 17, 18, 18}, {17, 18, 17, 18}, {18, 18, 18, 18}}}));
  // From = To: that entry at every level.
  for (int grey : {0, 10923, 48656, 65535})
    EXPECT_EQ(UniformTile(grey, ColorRange{20, 20, 0}),
              (Tile{{{20, 20, 20, 20}, {20, 20, 20, 20}, {20, 20, 20, 20}, {20, 20, 20, 20}}}));
}

// Band 0..1 with Bayer 8 x 8: m = 65, so F = k draws entry 1 at exactly k of
// the 64 pixels of a tile, for every k: each threshold appears once.
TEST(OrderedDither, Bayer8DrawsOnePixelMorePerLevel) {
  const ColorRange band{0, 1, 0};
  for (int k = 0; k <= 64; ++k) {
    const int grey = k == 64 ? 65535 : int(std::lround((k + 0.5) * 65536 / 65));
    int upper = 0;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const uint8_t index = MapUniformOrdered(Grey(grey), x, y, band, OrderedDither::kBayer8);
        EXPECT_EQ(index, MapUniformOrdered(Grey(grey), x + 8, y + 16, band, OrderedDither::kBayer8))
            << "the pattern repeats every 8 pixels";
        upper += index;
      }
    EXPECT_EQ(upper, k) << "grey " << grey;
  }
}

// Entries 16 black, 17 black again, 18 white, RGB: the second entry is the
// nearest of another colour, 18. A grey v between them lies at t = v / 65280
// along black to white (white is 65280 per channel), s = trunc(16 t).
TEST(OrderedDither, SimilarColoursDitherByDistance) {
  uint8_t palette[kPaletteSize] = {};
  for (int c = 0; c < 3; ++c) palette[3 * 18 + c] = 255;
  const ColorRange band{16, 18, 0};
  const auto tile = [&](int grey) {
    return TileAt(0, 0, [&](int x, int y) {
      return MapSimilarOrdered(Grey(grey), x, y, band, palette, ColorMatching::kRgb,
                               OrderedDither::kBayer4);
    });
  };
  // A quarter of the way: s = 4, white where the threshold is 0..3.
  EXPECT_EQ(tile(16320),
            (Tile{{{18, 16, 18, 16}, {16, 16, 16, 16}, {18, 16, 18, 16}, {16, 16, 16, 16}}}));
  // Midway both are as near; black has the lower index and is nearest,
  // t = 1/2, s = 8: a checkerboard.
  EXPECT_EQ(tile(32640),
            (Tile{{{18, 16, 18, 16}, {16, 18, 16, 18}, {18, 16, 18, 16}, {16, 18, 16, 18}}}));
  // One level further white is nearest: s = trunc(16 * 32639 / 65280) = 7,
  // black where the threshold is 0..6.
  EXPECT_EQ(tile(32641),
            (Tile{{{16, 18, 16, 18}, {18, 16, 18, 16}, {16, 18, 16, 18}, {18, 18, 18, 16}}}));
  // On an entry, or beyond the last (t < 0 counts as 0): that entry only.
  EXPECT_EQ(tile(0), UniformTile(0, ColorRange{16, 16, 0}));
  EXPECT_EQ(tile(65535), UniformTile(0, ColorRange{18, 18, 0}));

  // Without two colours there is nothing to dither: From = To, From > To
  // (From, as the filter's own rule has it) and a band of one colour.
  for (const ColorRange& single :
       {ColorRange{18, 18, 0}, ColorRange{18, 16, 0}, ColorRange{16, 17, 0}}) {
    const NearestPair pair = FindTwoMostSimilar(Grey(40000), single, palette, ColorMatching::kRgb);
    EXPECT_EQ(pair.first, single.from);
    EXPECT_EQ(pair.second, single.from);
    EXPECT_EQ(MapSimilarOrdered(Grey(40000), 1, 0, single, palette, ColorMatching::kRgb,
                                OrderedDither::kBayer8),
              single.from);
  }
}

}  // namespace
}  // namespace selvo
