#include "core/map_pixel.h"

#include <gtest/gtest.h>

namespace selvo {
namespace {

Pixel64 Grey(uint16_t v) { return Pixel64{v, v, v, 0}; }

struct GreyCase {
  uint16_t level;
  int plain, ditherEven, ditherOdd;
};

TEST(UniformDistribution, SpreadsGreyLevelsOverTheRange) {
  const GreyCase cases[] = {
      {0, 16, 16, 16},     {10000, 16, 16, 17}, {20000, 17, 17, 17}, {30000, 17, 17, 18},
      {40000, 18, 18, 18}, {50000, 19, 18, 19}, {65535, 19, 19, 19},
  };
  const ColorRange plain{16, 19, 0};
  const ColorRange dithered{16, 19, 1};
  for (const GreyCase& c : cases) {
    EXPECT_EQ(MapUniform(Grey(c.level), plain), c.plain) << c.level;
    // (x + y) even at (0, 0) and (3, 5); odd at (1, 0) and (2, 7).
    EXPECT_EQ(MapUniformDithered(Grey(c.level), 0, 0, dithered), c.ditherEven) << c.level;
    EXPECT_EQ(MapUniformDithered(Grey(c.level), 3, 5, dithered), c.ditherEven) << c.level;
    EXPECT_EQ(MapUniformDithered(Grey(c.level), 1, 0, dithered), c.ditherOdd) << c.level;
    EXPECT_EQ(MapUniformDithered(Grey(c.level), 2, 7, dithered), c.ditherOdd) << c.level;
  }
}

TEST(UniformDistribution, WeighsChannelsAsLuminance) {
  // Pure green is brighter than pure red, which is brighter than pure blue.
  const ColorRange range{0, 99, 0};
  EXPECT_EQ(MapUniform(Pixel64{0, 0, 65535, 0}, range), 10);  // 0.11
  EXPECT_EQ(MapUniform(Pixel64{65535, 0, 0, 0}, range), 29);  // 0.30
  EXPECT_EQ(MapUniform(Pixel64{0, 65535, 0, 0}, range), 58);  // 0.59
  EXPECT_DOUBLE_EQ(Luminance(Grey(65535)), 65535.0);
}

// The luminance is summed as (0.11 B + 0.59 G) + 0.3 R in doubles, and the
// order shows in the index. Each colour below has an exact luminance
// (11 B + 59 G + 30 R) / 100 that puts the ramp's product exactly on a step
// boundary, a multiple of 65536, so the last bit of the rounded sum decides
// the step: (0.11 B + 0.3 R) + 0.59 G or (0.59 G + 0.3 R) + 0.11 B gives at
// least one of them the neighbouring index. The dithered cases were found by
// a search over such boundary colours (for ranges whose 2 (To - From) + 1 is
// a multiple of 5, the only ones with boundaries a 16-bit colour reaches),
// keeping those where another order changes the index at the position given;
// the expected indices come from the same double arithmetic done in Python.
TEST(UniformDistribution, SumsTheLuminanceBlueGreenThenRed) {
  // 160 L is exactly 63 * 65536; 0.3 R + 0.59 G first gives 62.
  EXPECT_EQ(int(MapUniform(Pixel64{20810, 22909, 54959, 0}, ColorRange{0, 159, 0})), 63);

  struct DitheredCase {
    Pixel64 color;
    ColorRange range;
    int x, y;
    int index;
  };
  const DitheredCase cases[] = {
      // Either other order gives 1, 45 and 11.
      {{5494, 5724, 49640, 0}, {0, 12, 1}, 0, 0, 2},
      {{3639, 13053, 15389, 0}, {40, 77, 1}, 2, 4, 46},
      {{8274, 7008, 11340, 0}, {3, 65, 1}, 1, 0, 10},
      // Blue and red first gives 12, as does a fused multiply-add for the last sum.
      {{34156, 47378, 10198, 0}, {10, 12, 1}, 3, 2, 11},
      // Green and red first gives 102, and 195 in the reversed range.
      {{5196, 12040, 16576, 0}, {100, 112, 1}, 5, 7, 101},
      {{1888, 279, 41017, 0}, {200, 137, 1}, 0, 1, 197},
  };
  for (const DitheredCase& c : cases) {
    EXPECT_EQ(int(MapUniformDithered(c.color, c.x, c.y, c.range)), c.index)
        << c.color.r << " " << c.color.g << " " << c.color.b << " in " << int(c.range.from) << ".."
        << int(c.range.to);
  }
}

TEST(UniformDistribution, SingleEntryRangeGivesThatEntryEverywhere) {
  for (int level = 0; level <= 65535; level += 4369) {
    for (int x = 0; x < 2; ++x) {
      EXPECT_EQ(MapUniform(Grey(level), ColorRange{42, 42, 0}), 42);
      EXPECT_EQ(MapUniformDithered(Grey(level), x, 0, ColorRange{42, 42, 1}), 42);
    }
  }
}

TEST(UniformDistribution, ReversedRangeCountsDownFromFrom) {
  const ColorRange range{20, 16, 0};
  EXPECT_EQ(MapUniform(Grey(0), range), 20);
  EXPECT_EQ(MapUniform(Grey(20000), range), 20);
  EXPECT_EQ(MapUniform(Grey(40000), range), 19);
  EXPECT_EQ(MapUniform(Grey(65535), range), 18);
}

TEST(UniformDistribution, EveryIndexStaysInThePaletteAndInItsRange) {
  for (int from = 0; from < 256; from += 5) {
    for (int to = 0; to < 256; to += 5) {
      for (int dither = 0; dither < 2; ++dither) {
        const ColorRange range{uint8_t(from), uint8_t(to), uint8_t(dither)};
        for (int level = 0; level <= 65535; level += 257) {
          const int index = dither ? MapUniformDithered(Grey(level), 1, 0, range)
                                   : MapUniform(Grey(level), range);
          if (from <= to) {
            ASSERT_GE(index, from);
            ASSERT_LE(index, to);
          }
        }
      }
    }
  }
}

TEST(UniformDistribution, DitheredReversedRangeAtTheTopNeverLeavesThePalette) {
  // m = -3: a level of 40000 gives F = -1, which at an odd x + y steps one
  // entry above From; above 255 there is none, so the pixel keeps From.
  const ColorRange top{255, 253, 1};
  EXPECT_EQ(MapUniformDithered(Grey(40000), 1, 0, top), 255);
  EXPECT_EQ(MapUniformDithered(Grey(40000), 0, 0, top), 255);
  for (int to = 1; to < 255; ++to) {
    for (int level = 0; level <= 65535; level += 97) {
      // A wrap past 255 would land on 0, below the range.
      ASSERT_GE(MapUniformDithered(Grey(level), 1, 0, ColorRange{255, uint8_t(to), 1}), to);
    }
  }
  // Below the top the step above From is kept as it always was.
  EXPECT_EQ(MapUniformDithered(Grey(40000), 1, 0, ColorRange{100, 98, 1}), 101);
  EXPECT_EQ(MapUniformDithered(Grey(40000), 0, 0, ColorRange{100, 98, 1}), 100);
  EXPECT_EQ(MapUniformDithered(Grey(60000), 1, 0, ColorRange{100, 98, 1}), 99);
  EXPECT_EQ(MapUniformDithered(Grey(40000), 1, 0, ColorRange{100, 90, 1}), 96);
}

class MostSimilarColor : public ::testing::Test {
 protected:
  MostSimilarColor() {
    FillDefaultPalette(palette);
    SetEntry(16, 0, 0, 0);
    SetEntry(17, 128, 128, 128);
    SetEntry(18, 255, 255, 255);
  }
  void SetEntry(int i, uint8_t r, uint8_t g, uint8_t b) {
    palette[3 * i] = r;
    palette[3 * i + 1] = g;
    palette[3 * i + 2] = b;
  }
  uint8_t palette[kPaletteSize];
};

TEST_F(MostSimilarColor, TiesGoToTheLowerIndex) {
  const ColorRange range{16, 18, 0};
  EXPECT_EQ(FindMostSimilarColor(Grey(16384), range, palette), 16);
  EXPECT_EQ(FindMostSimilarColor(Grey(16385), range, palette), 17);
  EXPECT_EQ(FindMostSimilarColor(Grey(49024), range, palette), 17);
  EXPECT_EQ(FindMostSimilarColor(Grey(49025), range, palette), 18);
  EXPECT_EQ(FindMostSimilarColor(Grey(65535), range, palette), 18);
}

TEST_F(MostSimilarColor, SearchesOnlyTheRange) {
  // Entry 255 is white but lies outside 16..17.
  EXPECT_EQ(FindMostSimilarColor(Grey(65535), ColorRange{16, 17, 0}, palette), 17);
  EXPECT_EQ(FindMostSimilarColor(Grey(65535), ColorRange{18, 18, 0}, palette), 18);
  EXPECT_EQ(FindMostSimilarColor(Grey(0), ColorRange{18, 18, 0}, palette), 18);
  EXPECT_EQ(FindMostSimilarColor(Grey(0), ColorRange{18, 16, 0}, palette), 18);
  EXPECT_EQ(FindMostSimilarColor(Grey(65535), ColorRange{200, 3, 0}, palette), 200);
}

TEST_F(MostSimilarColor, DuplicateEntriesGiveTheLowerIndex) {
  SetEntry(40, 10, 200, 30);
  SetEntry(41, 10, 200, 30);
  const Pixel64 near{10 * 256, 200 * 256, 30 * 256, 0};
  EXPECT_EQ(FindMostSimilarColor(near, ColorRange{30, 50, 0}, palette), 40);
}

TEST_F(MostSimilarColor, ComparesEachChannelAgainstPaletteBytesTimes256) {
  // Red 65535 is 255 away from 255*256 but 1 from nothing else: entry 224 is
  // (255, 0, 0) in the default cube; a blue pixel picks a blue entry.
  const ColorRange all{0, 255, 1};
  EXPECT_EQ(FindMostSimilarColor(Pixel64{65535, 0, 0, 0}, all, palette), 224);
  EXPECT_EQ(FindMostSimilarColor(Pixel64{0, 0, 65535, 0}, all, palette), 3);
  EXPECT_EQ(FindMostSimilarColor(Pixel64{0, 65535, 0, 0}, all, palette), 28);
}

TEST_F(MostSimilarColor, MapPixelDispatchesOnTheMethod) {
  const ColorRange range{16, 18, 1};
  EXPECT_EQ(MapPixel(Grey(49025), 0, 0, range, palette, kFindMostSimilarColor), 18);
  EXPECT_EQ(MapPixel(Grey(49025), 0, 0, range, palette, 7), 18);
  EXPECT_EQ(MapPixel(Grey(10000), 1, 0, ColorRange{16, 19, 1}, palette, kUniformDistribution), 17);
  EXPECT_EQ(MapPixel(Grey(10000), 1, 0, ColorRange{16, 19, 0}, palette, kUniformDistribution), 16);
}

TEST(RangeForId, IdsWithoutARangeUseIdZero) {
  RendererConfig config;
  for (int id = 0; id < 16; ++id) config.ranges[id] = ColorRange{uint8_t(id), uint8_t(id + 100), 0};
  EXPECT_EQ(RangeForId(config, 15).from, 15);
  EXPECT_EQ(RangeForId(config, 16).from, 0);
  EXPECT_EQ(RangeForId(config, 65535).from, 0);
}

}  // namespace
}  // namespace selvo
