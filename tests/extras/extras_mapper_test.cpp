// The mapper with extras: nothing chosen is the filter's mapping to the
// byte, every pixel takes the rule its ID chose, and a transparent edge
// worked by hand shows the precedence of transparency, outline and mapping.
#include "extras/extras_mapper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "core/map_pixel.h"
#include "core/palette_mapper.h"
#include "extras/oklab.h"
#include "extras/ordered_dither.h"
#include "testing/test_frame.h"

namespace selvo {
namespace {

using test::RandomRow;

RendererConfig RandomConfig(std::mt19937& rng, int32_t method) {
  RendererConfig config;
  config.method = method;
  std::uniform_int_distribution<int> byte(0, 255), coin(0, 1);
  for (ColorRange& range : config.ranges)
    range = ColorRange{uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(coin(rng))};
  config.ranges[1] = {0, 255, 1};
  config.ranges[2] = {255, 0, 1};
  config.ranges[3] = {7, 7, 0};
  return config;
}

// Runs of IDs 0..20 of random lengths, so that runs start at odd and even x.
template <typename Id>
std::vector<Id> RandomIds(std::mt19937& rng, int width) {
  std::uniform_int_distribution<int> id(0, 20), length(1, 9);
  std::vector<Id> ids;
  while (int(ids.size()) < width) ids.insert(ids.end(), length(rng), Id(id(rng)));
  ids.resize(width);
  return ids;
}

template <typename Id>
void ExpectSameAsFilter(std::mt19937& rng, const RendererConfig& config) {
  PaletteMapper filter;
  ExtrasMapper extras;
  filter.Prepare(config);
  extras.Prepare(config, Extras{});
  EXPECT_FALSE(extras.HasOutlines());
  for (int y = 0; y < 8; ++y) {
    const std::vector<Id> ids = RandomIds<Id>(rng, 301);
    std::vector<Pixel64> byFilter = RandomRow(rng, 301), byExtras = byFilter;
    std::vector<uint8_t> filterIndices(301), extrasIndices(301);
    filter.MapRow(ids.data(), y, 301, byFilter.data(), filterIndices.data());
    extras.MapRow(ids.data(), y, 301, byExtras.data(), extrasIndices.data());
    ASSERT_EQ(extrasIndices, filterIndices);
    for (int x = 0; x < 301; ++x)
      ASSERT_EQ(std::memcmp(&byExtras[x], &byFilter[x], sizeof(Pixel64)), 0) << x;
  }
}

TEST(ExtrasMapper, NothingChosenMapsAsTheFilter) {
  std::mt19937 rng(23);
  for (int32_t method : {kUniformDistribution, kFindMostSimilarColor}) {
    ExpectSameAsFilter<uint8_t>(rng, RandomConfig(rng, method));
    ExpectSameAsFilter<uint16_t>(rng, RandomConfig(rng, method));
  }
}

// What a pixel gets, by the rule ExtrasMapper's header states.
uint8_t ExpectedIndex(const RendererConfig& config, const Extras& extras, const Pixel64& color,
                      unsigned id, int x, int y) {
  if (color.a < TransparentBelow(extras.transparency))
    return TransparentIndex(extras.transparency, config);
  const unsigned slot = id < kRangeCount ? id : 0;
  const ColorRange& range = config.ranges[slot];
  const OrderedDither dither = extras.dither[slot];
  if (config.method == kUniformDistribution) {
    if (dither != OrderedDither::kNone) return MapUniformOrdered(color, x, y, range, dither);
  } else if (dither != OrderedDither::kNone) {
    return MapSimilarOrdered(color, x, y, range, config.palette, extras.matching, dither);
  } else if (extras.matching == ColorMatching::kOklab) {
    return FindMostSimilar(color, range, config.palette, ColorMatching::kOklab);
  }
  return MapPixel(color, x, y, range, config.palette, config.method);
}

template <typename Id>
void ExpectEveryPixelTakesItsRule(std::mt19937& rng, int32_t method) {
  std::uniform_int_distribution<int> kind(0, 2), coin(0, 1), row(0, 1000);
  const RendererConfig config = RandomConfig(rng, method);
  Extras extras;
  for (OrderedDither& dither : extras.dither) dither = OrderedDither(kind(rng));
  extras.matching = coin(rng) ? ColorMatching::kOklab : ColorMatching::kRgb;
  extras.transparency = Transparency{bool(coin(rng)), 0.25, std::nullopt, {}};
  ExtrasMapper mapper;
  mapper.Prepare(config, extras);
  for (int rows = 0; rows < 6; ++rows) {
    const int y = row(rng), width = 257;
    const std::vector<Id> ids = RandomIds<Id>(rng, width);
    const std::vector<Pixel64> original = RandomRow(rng, width);
    std::vector<Pixel64> pixels = original;
    std::vector<uint8_t> indices(width);
    mapper.MapRow(ids.data(), y, width, pixels.data(), indices.data());
    for (int x = 0; x < width; ++x) {
      const uint8_t expected = ExpectedIndex(config, extras, original[x], ids[x], x, y);
      ASSERT_EQ(indices[x], expected) << "pixel " << x << ", " << y << " ID " << ids[x];
      ASSERT_EQ(pixels[x].r, config.palette[3 * expected] * 256);
      ASSERT_EQ(pixels[x].b, config.palette[3 * expected + 2] * 256);
      ASSERT_EQ(pixels[x].a, original[x].a);
    }
  }
}

TEST(ExtrasMapper, EveryPixelTakesItsIdsRule) {
  std::mt19937 rng(29);
  for (int round = 0; round < 3; ++round)
    for (int32_t method : {kUniformDistribution, kFindMostSimilarColor}) {
      ExpectEveryPixelTakesItsRule<uint8_t>(rng, method);
      ExpectEveryPixelTakesItsRule<uint16_t>(rng, method);
    }
}

// A 4 x 3 frame of object 1 (outline 9) mapped to entry 20. Column 0 is
// just transparent (alpha 32767 < 32768), column 1 just opaque: column 0
// takes the transparent index, column 1 is outlined against it, the rest
// keeps the mapping. The top and bottom rows border nothing: the frame's
// edge is not a neighbour.
TEST(ExtrasMapper, TransparentEdgeByHand) {
  RendererConfig config;
  for (ColorRange& range : config.ranges) range = ColorRange{20, 20, 0};
  const int width = 4, height = 3;
  const uint16_t alphas[width] = {32767, 32768, 65535, 65535};
  for (const bool backgroundOnly : {false, true}) {
    for (const std::optional<uint8_t> transparentIndex :
         {std::optional<uint8_t>(5), std::optional<uint8_t>()}) {
      Extras extras;
      extras.transparency = Transparency{true, 0.5, transparentIndex, {}};
      extras.outlines.index[1] = 9;
      extras.outlines.backgroundOnly = backgroundOnly;
      ExtrasMapper mapper;
      mapper.Prepare(config, extras);
      ASSERT_TRUE(mapper.HasOutlines());
      const std::vector<uint8_t> ids(width * height, 1);
      std::vector<Pixel64> pixels(width * height);
      for (int i = 0; i < width * height; ++i)
        pixels[i] = Pixel64{9000, 30000, 60000, alphas[i % 4]};
      std::vector<uint8_t> indices(width * height);
      FrameOutlines outlines;
      mapper.FindOutlines(ids.data(), width, height, pixels.data(), outlines);
      mapper.DrawOutlinesFrom(&outlines);
      for (int y = 0; y < height; ++y)
        mapper.MapRow(ids.data() + y * width, y, width, pixels.data() + y * width,
                      indices.data() + y * width);
      const int transparent = transparentIndex ? 5 : 20;  // else ID 0's From
      const std::vector<uint8_t> row = {uint8_t(transparent), 9, 20, 20};
      for (int y = 0; y < height; ++y)
        EXPECT_EQ(
            std::vector<uint8_t>(indices.begin() + y * width, indices.begin() + (y + 1) * width),
            row)
            << "row " << y;
      const uint8_t* entry = config.palette + 3 * transparent;
      EXPECT_EQ(pixels[0].r, entry[0] * 256);
      EXPECT_EQ(pixels[0].g, entry[1] * 256);
      EXPECT_EQ(pixels[0].a, 32767);
      EXPECT_EQ(pixels[1].b, config.palette[3 * 9 + 2] * 256);
    }
  }
}

}  // namespace
}  // namespace selvo
