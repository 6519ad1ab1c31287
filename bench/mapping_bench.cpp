// Speed of the pixel mapping on a 1920 x 1080 16-bit test frame with the
// 3-3-2 palette: each fast path next to the per-pixel reference it must
// equal, so one run shows ns per pixel and the speed-up.
//
//   build/bench/mapping_bench [--benchmark_repetitions=5]
//
// Names are Group/Variant/case; the summary after the run gives each
// benchmark's median CPU time per frame and ns per pixel, and divides the
// time of Group/Reference/case by it: the speed-up. CPU time, since a busy
// machine inflates wall time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/summary_reporter.h"
#include "core/frame_driver.h"
#include "core/map_pixel.h"
#include "core/nearest_color.h"
#include "core/palette_mapper.h"
#include "pcx/pcx_writer.h"
#include "testing/memory_frame.h"
#include "testing/test_frame.h"

namespace selvo::bench {
namespace {

using test::MakeTestFrame;
using test::TestFrame;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

const TestFrame& Frame() {
  static const TestFrame frame = MakeTestFrame(kWidth, kHeight, 1);
  return frame;
}

// The previous frame of the same sequence, used to warm what is kept.
const TestFrame& PreviousFrame() {
  static const TestFrame frame = MakeTestFrame(kWidth, kHeight, 2);
  return frame;
}

// A band of `size` entries of the 3-3-2 palette, ending at entry 255.
ColorRange Band(int size) { return ColorRange{uint8_t(256 - size), 255, 0}; }

void CountPixels(benchmark::State& state) { state.counters["pixels"] = double(kWidth) * kHeight; }

// Every ID of the frame mapped with the same range and method.
RendererConfig ConfigFor(int32_t method, const ColorRange& range) {
  RendererConfig config;
  config.method = method;
  std::fill(std::begin(config.ranges), std::end(config.ranges), range);
  return config;
}

// ---- most similar colour: the reference per pixel, the search per row

// Maps the frame into an index image once per iteration, a row at a time:
// mapRow(colors, count, indices). `startFrame` runs first in each
// iteration, inside the timing.
template <typename MapRow, typename Start = void (*)()>
void MapFrameByRows(
    benchmark::State& state, MapRow mapRow, Start startFrame = [] {}) {
  const std::vector<Pixel64>& pixels = Frame().pixels;
  std::vector<uint8_t> indices(pixels.size());
  for (auto _ : state) {
    startFrame();
    for (std::size_t start = 0; start < pixels.size(); start += kWidth)
      mapRow(pixels.data() + start, kWidth, indices.data() + start);
    benchmark::DoNotOptimize(indices.data());
    benchmark::ClobberMemory();
  }
  CountPixels(state);
}

void NearestReference(benchmark::State& state, int bandSize) {
  const ColorRange range = Band(bandSize);
  const RendererConfig config;
  MapFrameByRows(state, [&](const Pixel64* colors, int count, uint8_t* indices) {
    for (int x = 0; x < count; ++x)
      indices[x] = FindMostSimilarColor(colors[x], range, config.palette);
  });
}

// A search built for this frame alone: every cell it needs is built inside
// the timing.
void NearestFirstFrame(benchmark::State& state, int bandSize) {
  const ColorRange range = Band(bandSize);
  const RendererConfig config;
  std::optional<NearestColorSearch> search;
  MapFrameByRows(
      state,
      [&](const Pixel64* colors, int count, uint8_t* indices) {
        search->FindAll(colors, count, indices);
      },
      [&] { search.emplace(config.palette, range.from, range.to); });
}

// A search kept from the previous frame of the sequence.
void NearestSequence(benchmark::State& state, int bandSize) {
  const ColorRange range = Band(bandSize);
  const RendererConfig config;
  NearestColorSearch search(config.palette, range.from, range.to);
  const std::vector<Pixel64>& previous = PreviousFrame().pixels;
  std::vector<uint8_t> previousIndices(previous.size());
  search.FindAll(previous.data(), int(previous.size()), previousIndices.data());
  MapFrameByRows(state, [&](const Pixel64* colors, int count, uint8_t* indices) {
    search.FindAll(colors, count, indices);
  });
}

// ---- whole rows: index, write-back, ID lookup, as the frame driver runs them

// The frame driver's row loop before the mapper: MapPixel per pixel.
void MapRowReference(const RendererConfig& config, const uint8_t* ids, int y, int width,
                     Pixel64* pixels, uint8_t* indices) {
  for (int x = 0; x < width; ++x) {
    const ColorRange& range = RangeForId(config, ids[x]);
    indices[x] = MapPixel(pixels[x], x, y, range, config.palette, config.method);
    const uint8_t* entry = config.palette + 3 * indices[x];
    pixels[x].r = uint16_t(entry[0] * 256);
    pixels[x].g = uint16_t(entry[1] * 256);
    pixels[x].b = uint16_t(entry[2] * 256);
  }
}

// Maps the frame row by row from a pristine copy, as fetched rows would be.
template <typename MapOneRow>
void MapFrameRows(benchmark::State& state, MapOneRow mapOneRow) {
  const TestFrame& frame = Frame();
  std::vector<Pixel64> row(kWidth);
  std::vector<uint8_t> indices(std::size_t(kWidth) * kHeight);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      const std::size_t start = std::size_t(y) * kWidth;
      std::copy_n(frame.pixels.begin() + start, kWidth, row.begin());
      mapOneRow(frame.ids.data() + start, y, row.data(), indices.data() + start);
    }
    benchmark::DoNotOptimize(indices.data());
  }
  CountPixels(state);
}

// The three ways of mapping, each over the full palette.
const std::pair<const char*, RendererConfig> kRowConfigs[] = {
    {"nearest", ConfigFor(kFindMostSimilarColor, Band(256))},
    {"uniform", ConfigFor(kUniformDistribution, ColorRange{0, 255, 0})},
    {"dithered", ConfigFor(kUniformDistribution, ColorRange{0, 255, 1})},
};

void RowsReference(benchmark::State& state, const RendererConfig& config) {
  MapFrameRows(state, [&](const uint8_t* ids, int y, Pixel64* pixels, uint8_t* indices) {
    MapRowReference(config, ids, y, kWidth, pixels, indices);
  });
}

void RowsMapper(benchmark::State& state, const RendererConfig& config) {
  PaletteMapper mapper;
  mapper.Prepare(config);
  std::vector<Pixel64> warm = PreviousFrame().pixels;
  std::vector<uint8_t> warmIndices(warm.size());
  for (int y = 0; y < kHeight; ++y) {
    const std::size_t start = std::size_t(y) * kWidth;
    mapper.MapRow(PreviousFrame().ids.data() + start, y, kWidth, warm.data() + start,
                  warmIndices.data() + start);
  }
  MapFrameRows(state, [&](const uint8_t* ids, int y, Pixel64* pixels, uint8_t* indices) {
    mapper.MapRow(ids, y, kWidth, pixels, indices);
  });
}

// What every row costs before any mapping: fetching it and storing indices.
void RowsFloor(benchmark::State& state) {
  MapFrameRows(state, [](const uint8_t* ids, int, Pixel64*, uint8_t* indices) {
    std::copy_n(ids, kWidth, indices);
  });
}

// ---- the whole frame driver and the PCX file

// A copy of a test frame, palettized in place, as frame 1.
test::MemoryFrame InMemory(const TestFrame& source) {
  test::MemoryFrame frame(source.width, source.height);
  frame.pixels = source.pixels;
  frame.materialIds = source.ids;
  frame.frameNumber = 1;
  return frame;
}

// RenderFrame with buffers kept from the previous frame, PCX file included.
// Each run maps the rendered pixels again: the frame is restored first, as
// a new frame would arrive.
void FrameDriverSequence(benchmark::State& state) {
  RendererConfig config = ConfigFor(kFindMostSimilarColor, Band(256));
  SetOutputName(config, "/tmp/selvo_bench.pcx");
  FrameBuffers buffers;
  test::NoProgress progress;
  test::MemoryFrame previous = InMemory(PreviousFrame());
  RenderFrame(config, previous.View(), progress, buffers);
  test::MemoryFrame frame = InMemory(Frame());
  for (auto _ : state) {
    frame.pixels = Frame().pixels;
    if (RenderFrame(config, frame.View(), progress, buffers).status != FrameStatus::kWritten)
      state.SkipWithError("the PCX file could not be written");
  }
  std::remove("/tmp/selvo_bench0001.pcx");
  CountPixels(state);
}

void PcxEncode(benchmark::State& state) {
  const RendererConfig config;
  std::vector<uint8_t> indices(Frame().pixels.size());
  NearestColorSearch search(config.palette, 0, 255);
  search.FindAll(Frame().pixels.data(), int(indices.size()), indices.data());
  for (auto _ : state)
    benchmark::DoNotOptimize(EncodePcxToMemory(indices.data(), kWidth, kHeight, config.palette));
  CountPixels(state);
}

// Group/Variant/case: the summary compares each variant with Group/Reference
// of the same case.
void RegisterAll() {
  using benchmark::RegisterBenchmark;
  for (int band : {256, 16, 2}) {
    const std::string suffix = "/band:" + std::to_string(band);
    RegisterBenchmark(("Nearest/Reference" + suffix).c_str(), NearestReference, band);
    RegisterBenchmark(("Nearest/FirstFrame" + suffix).c_str(), NearestFirstFrame, band);
    RegisterBenchmark(("Nearest/Sequence" + suffix).c_str(), NearestSequence, band);
  }
  for (const auto& [method, config] : kRowConfigs) {
    RegisterBenchmark((std::string("Rows/Reference/") + method).c_str(), RowsReference, config);
    RegisterBenchmark((std::string("Rows/Mapper/") + method).c_str(), RowsMapper, config);
  }
  RegisterBenchmark("Rows/Floor", RowsFloor);
  RegisterBenchmark("Frame/DriverSequence", FrameDriverSequence);
  RegisterBenchmark("Frame/PcxEncode", PcxEncode);
}

}  // namespace
}  // namespace selvo::bench

int main(int argc, char** argv) {
  return selvo::bench::RunWithSummary(argc, argv, selvo::bench::RegisterAll);
}
