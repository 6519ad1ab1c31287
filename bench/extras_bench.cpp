// What the extras cost: the 1920 x 1080 test frame mapped in place, row by
// row as the frame driver maps a frame in memory, with the extras against
// the same frame without them.
//
//   build/bench/extras_bench [--benchmark_repetitions=9]
//
// Extras/Reference/uniform is the filter's own mapping (uniform
// distribution, a band of 16 entries per ID, no dither); the variants add
// Bayer 8 x 8 on every ID, an outline on every object (4 neighbours), or
// both. Extras/Reference/checkerboard is the filter's own dither, and
// Extras/NoneChosen the ExtrasMapper with nothing chosen. Similar/... maps
// the same frame by most similar colour over the whole palette, RGB and
// OKLab, with searches kept from the previous frame. The summary gives the
// median CPU time per frame and the reference's time divided by it: 0.85x
// means the variant takes 1 / 0.85 = 1.18 times the reference's time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/summary_reporter.h"
#include "bench/test_frame.h"
#include "core/palette_mapper.h"
#include "extras/extras.h"
#include "extras/extras_mapper.h"
#include "extras/frame_passes.h"

namespace selvo::bench {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kObjects = 12;  // IDs 1..12 of the test frame; 0 is the floor

const TestFrame& Frame() {
  static const TestFrame frame = MakeTestFrame(kWidth, kHeight, 1);
  return frame;
}

const TestFrame& PreviousFrame() {
  static const TestFrame frame = MakeTestFrame(kWidth, kHeight, 2);
  return frame;
}

// A band of 16 entries of the 3-3-2 palette per ID, or the whole palette.
RendererConfig Config(int32_t method, bool dither) {
  RendererConfig config;
  config.method = method;
  for (int id = 0; id < kRangeCount; ++id)
    config.ranges[id] = method == kUniformDistribution
                            ? ColorRange{uint8_t(16 * id), uint8_t(16 * id + 15), uint8_t(dither)}
                            : ColorRange{0, 255, 0};
  return config;
}

Extras ExtrasWith(bool bayer8, bool outlines, ColorMatching matching = ColorMatching::kRgb) {
  Extras extras;
  extras.matching = matching;
  for (int id = 0; id < kRangeCount; ++id)
    if (bayer8) extras.dither[id] = OrderedDither::kBayer8;
  for (int id = 1; id <= kObjects; ++id)
    if (outlines) extras.outlines.index[id] = 0;
  return extras;
}

// The frame as it arrives, palettized in place by `mapFrame(pixels,
// indices)` in each iteration; restoring the rendered pixels is not timed.
// `mapFrame` runs once on the previous frame first, as in a sequence.
template <typename MapFrame>
void MapInPlace(benchmark::State& state, MapFrame mapFrame) {
  std::vector<Pixel64> pixels = PreviousFrame().pixels;
  std::vector<uint8_t> indices(pixels.size());
  mapFrame(PreviousFrame().ids.data(), pixels.data(), indices.data());
  for (auto _ : state) {
    state.PauseTiming();
    pixels = Frame().pixels;
    state.ResumeTiming();
    mapFrame(Frame().ids.data(), pixels.data(), indices.data());
    benchmark::DoNotOptimize(indices.data());
    benchmark::ClobberMemory();
  }
  state.counters["pixels"] = double(kWidth) * kHeight;
}

void Filter(benchmark::State& state, RendererConfig config) {
  PaletteMapper mapper;
  mapper.Prepare(config);
  MapInPlace(state, [&](const uint8_t* ids, Pixel64* pixels, uint8_t* indices) {
    for (int y = 0; y < kHeight; ++y) {
      const std::size_t start = std::size_t(y) * kWidth;
      mapper.MapRow(ids + start, y, kWidth, pixels + start, indices + start);
    }
  });
}

// With outlines, each frame's are found before its rows, inside the timing.
void WithExtras(benchmark::State& state, RendererConfig config, Extras extras) {
  ExtrasMapper mapper;
  mapper.Prepare(config, extras);
  FrameOutlines outlines;
  MapInPlace(state, [&](const uint8_t* ids, Pixel64* pixels, uint8_t* indices) {
    if (mapper.HasOutlines()) {
      mapper.FindOutlines(ids, kWidth, kHeight, pixels, outlines);
      mapper.DrawOutlinesFrom(&outlines);
    }
    for (int y = 0; y < kHeight; ++y) {
      const std::size_t start = std::size_t(y) * kWidth;
      mapper.MapRow(ids + start, y, kWidth, pixels + start, indices + start);
    }
  });
}

void RegisterAll() {
  using benchmark::RegisterBenchmark;
  const RendererConfig uniform = Config(kUniformDistribution, false);
  RegisterBenchmark("Extras/Reference/uniform", Filter, uniform);
  RegisterBenchmark("Extras/NoneChosen/uniform", WithExtras, uniform, Extras{});
  RegisterBenchmark("Extras/Bayer8/uniform", WithExtras, uniform, ExtrasWith(true, false));
  RegisterBenchmark("Extras/Outlines/uniform", WithExtras, uniform, ExtrasWith(false, true));
  RegisterBenchmark("Extras/Bayer8Outlines/uniform", WithExtras, uniform, ExtrasWith(true, true));
  const RendererConfig checkerboard = Config(kUniformDistribution, true);
  RegisterBenchmark("Extras/Reference/checkerboard", Filter, checkerboard);
  RegisterBenchmark("Extras/Bayer8Outlines/checkerboard", WithExtras, checkerboard,
                    ExtrasWith(true, true));
  const RendererConfig similar = Config(kFindMostSimilarColor, false);
  RegisterBenchmark("Similar/Reference/whole", Filter, similar);
  RegisterBenchmark("Similar/Oklab/whole", WithExtras, similar,
                    ExtrasWith(false, false, ColorMatching::kOklab));
  RegisterBenchmark("Similar/RgbBayer8/whole", WithExtras, similar, ExtrasWith(true, false));
  RegisterBenchmark("Similar/OklabBayer8/whole", WithExtras, similar,
                    ExtrasWith(true, false, ColorMatching::kOklab));
}

}  // namespace
}  // namespace selvo::bench

int main(int argc, char** argv) {
  return selvo::bench::RunWithSummary(argc, argv, selvo::bench::RegisterAll);
}
