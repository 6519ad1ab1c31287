// The fast search must give exactly the linear search's index for every
// colour, ties included, whatever the palette and range.
#include "core/nearest_color.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "core/map_pixel.h"
#include "testing/test_frame.h"

namespace selvo {
namespace {

using Palette = std::array<uint8_t, kPaletteSize>;

Palette DefaultPalette() {
  Palette palette;
  FillDefaultPalette(palette.data());
  return palette;
}

Palette RandomPalette(std::mt19937& rng) {
  Palette palette;
  std::uniform_int_distribution<int> byte(0, 255);
  for (uint8_t& v : palette) v = uint8_t(byte(rng));
  return palette;
}

// Few distinct levels per channel: many duplicate entries and many colours
// at equal distance from two or more entries.
Palette CoarsePalette(std::mt19937& rng) {
  Palette palette;
  std::uniform_int_distribution<int> level(0, 4);
  for (uint8_t& v : palette) v = uint8_t(level(rng) * 64);
  return palette;
}

Palette GreyRamp() {
  Palette palette;
  for (int k = 0; k < 256; ++k) std::memset(palette.data() + 3 * k, k, 3);
  return palette;
}

Palette AllOneColor() {
  Palette palette;
  for (int k = 0; k < 256; ++k) {
    palette[3 * k] = 10;
    palette[3 * k + 1] = 200;
    palette[3 * k + 2] = 90;
  }
  return palette;
}

// Entries placed in mirror pairs around a centre, so that the centre and the
// points of the mirror plane lie at equal distance from both of a pair.
Palette MirrorPairs(std::mt19937& rng) {
  Palette palette;
  std::uniform_int_distribution<int> offset(0, 60);
  for (int k = 0; k < 256; k += 2) {
    for (int c = 0; c < 3; ++c) {
      const int d = offset(rng);
      palette[3 * k + c] = uint8_t(128 - d);
      palette[3 * (k + 1) + c] = uint8_t(128 + d);
    }
  }
  return palette;
}

// Every entry within a few steps of one colour: cells far from it keep long
// lists, enough to reach the search's memory limit.
Palette Cluster(std::mt19937& rng) {
  Palette palette;
  std::uniform_int_distribution<int> offset(-6, 6);
  for (int k = 0; k < 256; ++k) {
    palette[3 * k] = uint8_t(200 + offset(rng));
    palette[3 * k + 1] = uint8_t(40 + offset(rng));
    palette[3 * k + 2] = uint8_t(120 + offset(rng));
  }
  return palette;
}

Pixel64 Color(int r, int g, int b) { return Pixel64{uint16_t(r), uint16_t(g), uint16_t(b), 7}; }

// Colours where the searches are most likely to part: uniform noise, the
// entries themselves (at 256 and 257 per step), midpoints of two entries
// (equidistant from both), and the edges of the search's cells.
std::vector<Pixel64> ProbeColors(const Palette& palette, std::mt19937& rng, int count) {
  std::vector<Pixel64> colors;
  std::uniform_int_distribution<int> level(0, 65535), entry(0, 255), kind(0, 4);
  std::uniform_int_distribution<int> edge(0, 32), side(-1, 0);
  const auto entryLevel = [&](int k, int c, int scale) { return palette[3 * k + c] * scale; };
  for (int i = 0; i < count; ++i) {
    int v[3];
    const int a = entry(rng), b = entry(rng);
    switch (kind(rng)) {
      case 0:
        for (int& x : v) x = level(rng);
        break;
      case 1:
        for (int c = 0; c < 3; ++c) v[c] = entryLevel(a, c, i % 2 ? 256 : 257);
        break;
      case 2:
        for (int c = 0; c < 3; ++c) v[c] = (entryLevel(a, c, 256) + entryLevel(b, c, 256)) / 2;
        break;
      case 3:
        for (int& x : v) x = std::min(65535, std::max(0, edge(rng) * 2048 + side(rng)));
        break;
      default:  // one channel on a midpoint, the others anywhere
        for (int& x : v) x = level(rng);
        v[i % 3] = (entryLevel(a, i % 3, 256) + entryLevel(b, i % 3, 256)) / 2;
        break;
    }
    colors.push_back(Color(v[0], v[1], v[2]));
  }
  return colors;
}

// The fast search's answers, one colour at a time or in runs of uneven
// lengths as rows hand them over, each from a search of its own.
std::vector<uint8_t> FindEach(const Palette& palette, const ColorRange& range,
                              const std::vector<Pixel64>& colors) {
  NearestColorSearch search(palette.data(), range.from, range.to);
  std::vector<uint8_t> found(colors.size());
  for (std::size_t i = 0; i < colors.size(); ++i) found[i] = search.Find(colors[i]);
  return found;
}

std::vector<uint8_t> FindInRuns(const Palette& palette, const ColorRange& range,
                                const std::vector<Pixel64>& colors) {
  NearestColorSearch search(palette.data(), range.from, range.to);
  std::vector<uint8_t> found(colors.size());
  const int runs[] = {1, 63, 64, 65, 130, 7};
  for (std::size_t start = 0, k = 0; start < colors.size(); start += runs[k++ % 6]) {
    const int count = int(std::min<std::size_t>(runs[k % 6], colors.size() - start));
    search.FindAll(colors.data() + start, count, found.data() + start);
  }
  return found;
}

void ExpectSameAsLinearSearch(const Palette& palette, const ColorRange& range,
                              const std::vector<Pixel64>& colors) {
  for (const auto& [way, found] : {std::pair{"Find", FindEach(palette, range, colors)},
                                   std::pair{"FindAll", FindInRuns(palette, range, colors)}}) {
    int mismatches = 0;
    for (std::size_t i = 0; i < colors.size(); ++i) {
      const Pixel64& color = colors[i];
      const uint8_t expected = FindMostSimilarColor(color, range, palette.data());
      if (found[i] != expected && ++mismatches <= 5) {
        ADD_FAILURE() << way << ", range " << int(range.from) << ".." << int(range.to)
                      << " colour (" << color.r << ", " << color.g << ", " << color.b
                      << "): linear search " << int(expected) << ", fast search " << int(found[i]);
      }
    }
    EXPECT_EQ(mismatches, 0) << way;
  }
}

std::vector<ColorRange> AdversarialRanges(std::mt19937& rng) {
  std::uniform_int_distribution<int> start(0, 240);
  const int a = start(rng);
  return {
      {0, 255, 0},                       // the whole palette
      {uint8_t(a), uint8_t(a + 15), 0},  // a band of 16
      {uint8_t(a), uint8_t(a + 1), 0},   // two entries
      {uint8_t(a), uint8_t(a), 0},       // one entry
      {uint8_t(a + 9), uint8_t(a), 1},   // From above To
      {254, 255, 0},
      {0, 1, 0},
      {255, 0, 0},
  };
}

TEST(NearestColorSearch, MatchesLinearSearchOnAdversarialPalettes) {
  std::mt19937 rng(20261208);
  const std::vector<Palette> palettes = {
      DefaultPalette(), RandomPalette(rng), CoarsePalette(rng), GreyRamp(),
      AllOneColor(),    MirrorPairs(rng),   Cluster(rng),
  };
  for (const Palette& palette : palettes) {
    const std::vector<Pixel64> colors = ProbeColors(palette, rng, 40000);
    for (const ColorRange& range : AdversarialRanges(rng))
      ExpectSameAsLinearSearch(palette, range, colors);
  }
}

// Ties are where a sloppy search goes wrong: a grey palette with a step of
// two puts every odd grey level exactly halfway between two entries.
TEST(NearestColorSearch, EquidistantGreysTakeTheLowerIndex) {
  Palette palette{};
  for (int k = 0; k < 128; ++k) std::memset(palette.data() + 3 * k, 2 * k, 3);
  NearestColorSearch search(palette.data(), 0, 127);
  for (int v = 0; v <= 254; ++v) {
    const int level = v * 256;
    EXPECT_EQ(search.Find(Color(level, level, level)), v / 2) << "grey " << level;
  }
}

TEST(NearestColorSearch, DuplicateEntriesGiveTheFirst) {
  Palette palette = DefaultPalette();
  std::memcpy(palette.data() + 3 * 40, palette.data() + 3 * 90, 3);
  std::memcpy(palette.data() + 3 * 200, palette.data() + 3 * 90, 3);
  NearestColorSearch search(palette.data(), 30, 220);
  const Pixel64 exact = Color(palette[270] * 256, palette[271] * 256, palette[272] * 256);
  EXPECT_EQ(search.Find(exact), 40);
}

TEST(NearestColorSearch, EmptyOrSingleRangesAnswerFrom) {
  const Palette palette = DefaultPalette();
  NearestColorSearch reversed(palette.data(), 200, 100);
  NearestColorSearch single(palette.data(), 77, 77);
  for (const Pixel64& color : {Color(0, 0, 0), Color(65535, 65535, 65535), Color(1, 40000, 9)}) {
    EXPECT_EQ(reversed.Find(color), 200);
    EXPECT_EQ(single.Find(color), 77);
  }
}

// Every level of the 8-bit lattice (v * 257) and of the palette's own scale
// (v * 256) on a coarse grid, against the default palette's full band and a
// 16-entry band.
TEST(NearestColorSearch, MatchesLinearSearchOnLatticeOfLevels) {
  const Palette palette = DefaultPalette();
  std::vector<Pixel64> colors;
  for (int scale : {256, 257})
    for (int r = 0; r < 256; r += 5)
      for (int g = 0; g < 256; g += 5)
        for (int b = 0; b < 256; b += 3) colors.push_back(Color(r * scale, g * scale, b * scale));
  ExpectSameAsLinearSearch(palette, {0, 255, 0}, colors);
  ExpectSameAsLinearSearch(palette, {100, 115, 0}, colors);
}

// The frames the speed figures come from, searched in sequence as the
// benchmarks search them: the second frame reuses the cells of the first.
TEST(NearestColorSearch, MatchesLinearSearchOnTheBenchmarkFrames) {
  const Palette palette = DefaultPalette();
  const std::vector<test::TestFrame> frames = {test::MakeTestFrame(1920, 1080, 2),
                                               test::MakeTestFrame(1920, 1080, 1)};
  for (const ColorRange range :
       {ColorRange{0, 255, 0}, ColorRange{240, 255, 0}, ColorRange{254, 255, 0}}) {
    NearestColorSearch search(palette.data(), range.from, range.to);
    for (const test::TestFrame& frame : frames) {
      int mismatches = 0;
      for (const Pixel64& color : frame.pixels)
        mismatches += search.Find(color) != FindMostSimilarColor(color, range, palette.data());
      EXPECT_EQ(mismatches, 0) << "range " << int(range.from) << ".." << int(range.to);
    }
  }
}

}  // namespace
}  // namespace selvo
