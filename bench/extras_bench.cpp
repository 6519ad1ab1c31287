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

#include <time.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "bench/summary_reporter.h"
#include "core/palette_mapper.h"
#include "extras/extras.h"
#include "extras/extras_mapper.h"
#include "extras/frame_passes.h"
#include "testing/test_frame.h"

namespace selvo::bench {
namespace {

using test::MakeTestFrame;
using test::TestFrame;

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

// One frame mapped in place, row by row, by the filter's mapper or by the
// extras' (which finds the frame's outlines before its rows).
struct FilterFrame {
  explicit FilterFrame(const RendererConfig& config) { mapper.Prepare(config); }
  void operator()(const uint8_t* ids, Pixel64* pixels, uint8_t* indices) {
    for (int y = 0; y < kHeight; ++y) {
      const std::size_t start = std::size_t(y) * kWidth;
      mapper.MapRow(ids + start, y, kWidth, pixels + start, indices + start);
    }
  }
  PaletteMapper mapper;
};

struct ExtrasFrame {
  ExtrasFrame(const RendererConfig& config, const Extras& extras) {
    mapper.Prepare(config, extras);
  }
  void operator()(const uint8_t* ids, Pixel64* pixels, uint8_t* indices) {
    if (mapper.HasOutlines()) {
      mapper.FindOutlines(ids, kWidth, kHeight, pixels, outlines);
      mapper.DrawOutlinesFrom(&outlines);
    }
    for (int y = 0; y < kHeight; ++y) {
      const std::size_t start = std::size_t(y) * kWidth;
      mapper.MapRow(ids + start, y, kWidth, pixels + start, indices + start);
    }
  }
  ExtrasMapper mapper;
  FrameOutlines outlines;
};

// The buffers every variant maps in: frames of their own, mapped to other
// pages (huge or not), differed by as much as 15% between identical
// variants.
struct Buffers {
  std::vector<Pixel64> pixels = std::vector<Pixel64>(Frame().pixels.size());
  std::vector<uint8_t> indices = std::vector<uint8_t>(Frame().pixels.size());

  // Maps the previous frame of the sequence first, then restores the frame.
  template <typename MapFrame>
  void Warm(MapFrame& map) {
    pixels = PreviousFrame().pixels;
    map(PreviousFrame().ids.data(), pixels.data(), indices.data());
  }
  void Restore() { std::copy(Frame().pixels.begin(), Frame().pixels.end(), pixels.begin()); }
  template <typename MapFrame>
  void Map(MapFrame& map) {
    map(Frame().ids.data(), pixels.data(), indices.data());
    benchmark::DoNotOptimize(indices.data());
    benchmark::ClobberMemory();
  }
};

Buffers& SharedBuffers() {
  static Buffers buffers;
  return buffers;
}

// The frame as it arrives, palettized in place in each iteration;
// restoring the rendered pixels is not timed.
template <typename MapFrame>
void MapInPlace(benchmark::State& state, MapFrame map) {
  Buffers& buffers = SharedBuffers();
  buffers.Warm(map);
  for (auto _ : state) {
    state.PauseTiming();
    buffers.Restore();
    state.ResumeTiming();
    buffers.Map(map);
  }
  state.counters["pixels"] = double(kWidth) * kHeight;
}

void Filter(benchmark::State& state, RendererConfig config) {
  MapInPlace(state, FilterFrame(config));
}

void WithExtras(benchmark::State& state, RendererConfig config, Extras extras) {
  MapInPlace(state, ExtrasFrame(config, extras));
}

double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

double MedianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The filter's mapping and the variant in turn, frame after frame, each
// timed on its own (thread CPU time); the benchmark's time is the
// variant's. The counters give both medians and the median of the ratios
// of each pair, which the changing load of a shared machine moves far less
// than the ratio of two benchmarks run one after the other.
void SideBySide(benchmark::State& state, RendererConfig config, Extras extras) {
  Buffers& buffers = SharedBuffers();
  FilterFrame reference(config);
  ExtrasFrame variant(config, extras);
  buffers.Warm(reference);
  buffers.Warm(variant);
  std::vector<double> referenceTimes, variantTimes, ratios;
  for (auto _ : state) {
    buffers.Restore();
    const double start = ThreadSeconds();
    buffers.Map(reference);
    const double middle = ThreadSeconds();
    buffers.Restore();
    const double resumed = ThreadSeconds();
    buffers.Map(variant);
    const double end = ThreadSeconds();
    state.SetIterationTime(end - resumed);
    referenceTimes.push_back(middle - start);
    variantTimes.push_back(end - resumed);
    ratios.push_back(variantTimes.back() / referenceTimes.back());
  }
  state.counters["reference_ms"] = MedianOf(referenceTimes) * 1e3;
  state.counters["variant_ms"] = MedianOf(variantTimes) * 1e3;
  state.counters["ratio"] = MedianOf(ratios);
}

void RegisterAll() {
  using benchmark::RegisterBenchmark;
  const RendererConfig uniform = Config(kUniformDistribution, false);
  const RendererConfig checkerboard = Config(kUniformDistribution, true);
  const RendererConfig similar = Config(kFindMostSimilarColor, false);
  const Extras bayer8 = ExtrasWith(true, false), outlines = ExtrasWith(false, true),
               both = ExtrasWith(true, true);
  RegisterBenchmark("Extras/Reference/uniform", Filter, uniform);
  RegisterBenchmark("Extras/NoneChosen/uniform", WithExtras, uniform, Extras{});
  RegisterBenchmark("Extras/Bayer8/uniform", WithExtras, uniform, bayer8);
  RegisterBenchmark("Extras/Outlines/uniform", WithExtras, uniform, outlines);
  RegisterBenchmark("Extras/Bayer8Outlines/uniform", WithExtras, uniform, both);
  RegisterBenchmark("Extras/Reference/checkerboard", Filter, checkerboard);
  RegisterBenchmark("Extras/Bayer8Outlines/checkerboard", WithExtras, checkerboard, both);
  for (const auto& [name, config, extras] : {std::tuple{"NoneChosen/uniform", uniform, Extras{}},
                                             {"Bayer8/uniform", uniform, bayer8},
                                             {"Outlines/uniform", uniform, outlines},
                                             {"Bayer8Outlines/uniform", uniform, both},
                                             {"Bayer8Outlines/checkerboard", checkerboard, both}})
    RegisterBenchmark((std::string("SideBySide/") + name).c_str(), SideBySide, config, extras)
        ->UseManualTime();
  RegisterBenchmark("Similar/Reference/whole", Filter, similar);
  RegisterBenchmark("Similar/Oklab/whole", WithExtras, similar,
                    ExtrasWith(false, false, ColorMatching::kOklab));
  RegisterBenchmark("Similar/RgbBayer8/whole", WithExtras, similar, bayer8);
  RegisterBenchmark("Similar/OklabBayer8/whole", WithExtras, similar,
                    ExtrasWith(true, false, ColorMatching::kOklab));
}

}  // namespace
}  // namespace selvo::bench

int main(int argc, char** argv) {
  return selvo::bench::RunWithSummary(argc, argv, selvo::bench::RegisterAll);
}
