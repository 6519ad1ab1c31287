// Row mapping and the frame driver must give every pixel what MapPixel gives
// it, frame after frame, while the mapper keeps its searches between frames.
#include "core/palette_mapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/frame_driver.h"
#include "core/map_pixel.h"
#include "testing/memory_frame.h"
#include "testing/scratch_dir.h"
#include "testing/test_frame.h"

namespace selvo {
namespace {

using test::RandomRow;

RendererConfig RandomConfig(std::mt19937& rng, int32_t method) {
  RendererConfig config;
  config.method = method;
  std::uniform_int_distribution<int> byte(0, 255), coin(0, 1);
  for (ColorRange& range : config.ranges) {
    range.from = uint8_t(byte(rng));
    range.to = uint8_t(byte(rng));  // about half of them reversed
    range.dither = uint8_t(coin(rng) ? 1 + byte(rng) % 200 : 0);
  }
  config.ranges[3] = {0, 255, 0};
  config.ranges[4] = {255, 255, 1};
  config.ranges[5] = {255, 0, 1};  // dither may step past 255 here
  return config;
}

template <typename Id>
std::vector<Id> RandomIds(std::mt19937& rng, int width, int maxId) {
  std::uniform_int_distribution<int> id(0, maxId);
  std::vector<Id> ids(width);
  for (Id& v : ids) v = Id(id(rng));
  return ids;
}

// Maps `rows` random rows with the mapper and checks each pixel's index,
// written-back colour and alpha against MapPixel.
template <typename Id>
void ExpectRowsMatchMapPixel(PaletteMapper& mapper, const RendererConfig& config, std::mt19937& rng,
                             int maxId, int rows) {
  const int width = 333;
  for (int y = 0; y < rows; ++y) {
    const std::vector<Pixel64> original = RandomRow(rng, width);
    const std::vector<Id> ids = RandomIds<Id>(rng, width, maxId);
    std::vector<Pixel64> pixels = original;
    std::vector<uint8_t> indices(width);
    mapper.MapRow(ids.data(), y, width, pixels.data(), indices.data());
    for (int x = 0; x < width; ++x) {
      const ColorRange& range = RangeForId(config, ids[x]);
      const uint8_t expected = MapPixel(original[x], x, y, range, config.palette, config.method);
      ASSERT_EQ(indices[x], expected) << "pixel " << x << ", " << y << " id " << ids[x];
      const uint8_t* entry = config.palette + 3 * expected;
      ASSERT_EQ(pixels[x].r, entry[0] * 256);
      ASSERT_EQ(pixels[x].g, entry[1] * 256);
      ASSERT_EQ(pixels[x].b, entry[2] * 256);
      ASSERT_EQ(pixels[x].a, original[x].a);
    }
  }
}

// The dither step as its definition states it: up one where F is odd and
// x + y is odd, by the remainders of C's integer division.
uint8_t DitheredByDefinition(const Pixel64& color, int x, int y, const ColorRange& range) {
  const int m = 2 * (int(range.to) - int(range.from)) + 1;
  const int f = int((m * Luminance(color)) * (1.0 / 65536));
  int index = range.from + f / 2;
  if (f % 2 != 0 && (x + y) % 2 != 0) ++index;
  return uint8_t(std::min(index, 255));
}

// Reversed ranges give negative odd F, where a sign slip in the parity test
// would show.
TEST(MapUniformDithered, StepsAsDefinedForEveryRangeDirection) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> byte(0, 255), coordinate(0, 4000);
  for (int i = 0; i < 200000; ++i) {
    const ColorRange range{uint8_t(byte(rng)), uint8_t(byte(rng)), 1};
    const Pixel64 color = RandomRow(rng, 1)[0];
    const int x = coordinate(rng), y = coordinate(rng);
    ASSERT_EQ(MapUniformDithered(color, x, y, range), DitheredByDefinition(color, x, y, range))
        << "range " << int(range.from) << ".." << int(range.to) << " at " << x << ", " << y;
  }
}

TEST(PaletteMapper, RowsMatchMapPixelForEveryMethodAndIdWidth) {
  std::mt19937 rng(42);
  for (int32_t method : {kUniformDistribution, kFindMostSimilarColor, 0}) {
    const RendererConfig config = RandomConfig(rng, method);
    PaletteMapper mapper;
    mapper.Prepare(config);
    ExpectRowsMatchMapPixel<uint8_t>(mapper, config, rng, 255, 40);
    ExpectRowsMatchMapPixel<uint16_t>(mapper, config, rng, 65535, 40);
    ExpectRowsMatchMapPixel<uint16_t>(mapper, config, rng, 17, 40);
  }
}

// IDs as objects leave them in a row: runs of one ID, 1 to 40 pixels long.
template <typename Id>
std::vector<Id> IdRuns(std::mt19937& rng, int width, int maxId) {
  std::uniform_int_distribution<int> id(0, maxId), length(1, 40);
  std::vector<Id> ids;
  while (int(ids.size()) < width) ids.insert(ids.end(), length(rng), Id(id(rng)));
  ids.resize(width);
  return ids;
}

// Maps one row and checks every index against MapPixel.
template <typename Id>
void ExpectRowIndicesMatch(PaletteMapper& mapper, const RendererConfig& config,
                           const std::vector<Id>& ids, int y, std::vector<Pixel64> pixels) {
  const std::vector<Pixel64> original = pixels;
  std::vector<uint8_t> indices(pixels.size());
  mapper.MapRow(ids.data(), y, int(pixels.size()), pixels.data(), indices.data());
  for (std::size_t x = 0; x < pixels.size(); ++x) {
    const ColorRange& range = RangeForId(config, ids[x]);
    ASSERT_EQ(indices[x], MapPixel(original[x], int(x), y, range, config.palette, config.method))
        << "pixel " << x << ", " << y << " range " << int(range.from) << ".." << int(range.to)
        << " dither " << int(range.dither) << " colour " << original[x].r << " " << original[x].g
        << " " << original[x].b;
  }
}

// The uniform row loop computes the index in another order than MapUniform
// (luminances first, then a scaled product per run of pixels). Every 16-bit
// level of grey and of each single component, for every range length in both
// directions, plain and dithered, must still give MapUniform's index.
TEST(PaletteMapper, UniformRowsMatchForEveryLevelAndRangeLength) {
  std::mt19937 rng(11);
  std::vector<ColorRange> ranges;
  for (int dither = 0; dither <= 1; ++dither)
    for (int length = -255; length <= 255; ++length) {
      // From at the end the range allows (where dithering may pass 255), or anywhere.
      const int lowest = std::max(0, -length), highest = std::min(255, 255 - length);
      const int from = ranges.size() % 2 ? std::uniform_int_distribution<int>(lowest, highest)(rng)
                                         : (length < 0 ? highest : lowest);
      ranges.push_back(ColorRange{uint8_t(from), uint8_t(from + length), uint8_t(dither)});
    }
  std::vector<std::vector<Pixel64>> rows(4, std::vector<Pixel64>(65536));
  for (int v = 0; v < 65536; ++v) {
    const uint16_t level = uint16_t(v);
    rows[0][v] = Pixel64{level, level, level, 7};
    rows[1][v] = Pixel64{level, 0, 0, 0};
    rows[2][v] = Pixel64{0, level, 0, 0};
    rows[3][v] = Pixel64{0, 0, level, 0};
  }
  PaletteMapper mapper;
  for (std::size_t first = 0; first < ranges.size(); first += kRangeCount) {
    RendererConfig config;
    config.method = kUniformDistribution;
    for (int id = 0; id < kRangeCount; ++id)
      config.ranges[id] = ranges[std::min(first + id, ranges.size() - 1)];
    mapper.Prepare(config);
    for (std::size_t kind = 0; kind < rows.size(); ++kind) {
      const int y = int(first / kRangeCount + kind);  // both parities
      ExpectRowIndicesMatch(mapper, config, IdRuns<uint8_t>(rng, 65536, kRangeCount - 1), y,
                            rows[kind]);
    }
  }
}

// Random colours with the IDs in runs, some IDs sharing a range (so that runs
// of different IDs join) and IDs past 15 falling back to ID 0's range.
TEST(PaletteMapper, UniformRowsMatchForRandomColoursAndSharedRanges) {
  std::mt19937 rng(12);
  std::uniform_int_distribution<int> pick(0, 2);
  for (int frame = 0; frame < 20; ++frame) {
    RendererConfig random = RandomConfig(rng, kUniformDistribution);
    // The same ranges once as drawn, once with every ID on one of three.
    RendererConfig shared = random;
    for (ColorRange& range : shared.ranges) range = random.ranges[3 + pick(rng)];
    for (const RendererConfig* c : {&random, &shared}) {
      PaletteMapper mapper;
      mapper.Prepare(*c);
      for (int y = 0; y < 6; ++y) {
        ExpectRowIndicesMatch(mapper, *c, IdRuns<uint8_t>(rng, 1999, 40), y, RandomRow(rng, 1999));
        ExpectRowIndicesMatch(mapper, *c, IdRuns<uint16_t>(rng, 1999, 65535), y,
                              RandomRow(rng, 1999));
        ExpectRowIndicesMatch(mapper, *c, IdRuns<uint16_t>(rng, 1999, 17), y, RandomRow(rng, 1999));
      }
    }
  }
}

// A sequence whose settings change between frames: a new palette, new
// ranges, back to an earlier palette, another method. Nothing prepared for an
// earlier frame may leak into a later one.
TEST(PaletteMapper, FollowsSettingsThatChangeBetweenFrames) {
  std::mt19937 rng(9);
  RendererConfig first = RandomConfig(rng, kFindMostSimilarColor);
  RendererConfig secondPalette = first;
  for (uint8_t& v : secondPalette.palette) v = uint8_t(255 - v);
  RendererConfig newRanges = RandomConfig(rng, kFindMostSimilarColor);
  RendererConfig uniform = first;
  uniform.method = kUniformDistribution;

  PaletteMapper mapper;
  for (const RendererConfig* config :
       {&first, &secondPalette, &newRanges, &first, &uniform, &first}) {
    mapper.Prepare(*config);
    ExpectRowsMatchMapPixel<uint8_t>(mapper, *config, rng, 20, 30);
  }
}

// A frame of random pixels with a byte ID channel.
test::MemoryFrame RandomFrame(int width, int height, std::mt19937& rng) {
  test::MemoryFrame frame(width, height);
  frame.materialIds = RandomIds<uint8_t>(rng, width * height, 30);
  frame.pixels.clear();
  for (int y = 0; y < height; ++y) {
    const std::vector<Pixel64> row = RandomRow(rng, width);
    frame.pixels.insert(frame.pixels.end(), row.begin(), row.end());
  }
  return frame;
}

TEST(RenderFrameWithMapper, SequenceSharingBuffersMatchesMapPixel) {
  std::mt19937 rng(3);
  RendererConfig config = RandomConfig(rng, kFindMostSimilarColor);
  const test::ScratchDir dir;
  ASSERT_TRUE(SetOutputName(config, dir.Path("mapper_seq.pcx")));
  test::NoProgress progress;
  FrameBuffers buffers;
  for (int frameIndex = 0; frameIndex < 3; ++frameIndex) {
    if (frameIndex == 2) std::swap(config.palette[0], config.palette[700]);
    test::MemoryFrame frame = RandomFrame(97, 31, rng);
    const std::vector<Pixel64> original = frame.pixels;
    const FrameResult result = RenderFrame(config, frame.View(), progress, buffers);
    ASSERT_EQ(result.status, FrameStatus::kWritten);
    for (int y = 0; y < 31; ++y)
      for (int x = 0; x < 97; ++x) {
        const std::size_t at = std::size_t(y) * 97 + x;
        const ColorRange& range = RangeForId(config, frame.materialIds[at]);
        ASSERT_EQ(buffers.indices[at],
                  MapPixel(original[at], x, y, range, config.palette, config.method))
            << "frame " << frameIndex << " pixel " << x << ", " << y;
      }
  }
}

}  // namespace
}  // namespace selvo
