#include "core/palette_mapper.h"

#include <algorithm>
#include <cstring>

#include "core/row_runs.h"
#include "core/simd_clones.h"

namespace selvo {
namespace {

// Pixels per pass of the uniform row loop: their luminances stay in L1.
constexpr int kChunk = 256;

// Luminance of each pixel, in a loop of its own that the compiler turns into
// SIMD doubles (this file is built with the full vectorizer cost model). The
// operations and their order are Luminance's, so every value is the same.
SELVO_SIMD_CLONES void Luminances(const Pixel64* pixels, int count, double* luminances) {
  for (int i = 0; i < count; ++i) luminances[i] = Luminance(pixels[i]);
}

// Indices for a run of pixels that share one range, in loops free of the ID
// lookup so that the compiler vectorizes them.
SELVO_SIMD_CLONES void StepRun(double scale, int from, const double* luminances, int count,
                               uint8_t* indices) {
  for (int i = 0; i < count; ++i) indices[i] = uint8_t(from + int(scale * luminances[i]));
}

// `parity` is x + y of the run's first pixel.
SELVO_SIMD_CLONES void StepDitheredRun(double scale, int from, const double* luminances, int count,
                                       int parity, uint8_t* indices) {
  for (int i = 0; i < count; ++i) {
    const int f = int(scale * luminances[i]);
    const int index = from + f / 2 + (f & (parity + i) & 1);
    // Only a reversed range starting at 255 reaches 256.
    indices[i] = uint8_t(index > 255 ? 255 : index);
  }
}

}  // namespace

void PaletteMapper::Prepare(const RendererConfig& config) {
  if (std::memcmp(config.palette, config_.palette, kPaletteSize) != 0) searches_.clear();
  config_ = config;
  for (int k = 0; k < 256; ++k) {
    const uint8_t* entry = config_.palette + 3 * k;
    paletteColors_[k] = AsBits(
        Pixel64{uint16_t(entry[0] * 256), uint16_t(entry[1] * 256), uint16_t(entry[2] * 256), 0});
  }
  std::fill(std::begin(searchForId_), std::end(searchForId_), nullptr);
  if (config_.method == kUniformDistribution) {
    for (int id = 0; id < kRangeCount; ++id) {
      const ColorRange& range = config_.ranges[id];
      const bool dither = range.dither != 0;
      // n = To - From + 1 plain, m = 2 (To - From) + 1 dithered.
      const int steps = (dither ? 2 : 1) * (int(range.to) - int(range.from)) + 1;
      uniformSteps_[id] = UniformStep{steps / 65536.0, range.from, dither};
      int same = 0;
      while (uniformSteps_[same].scale != uniformSteps_[id].scale ||
             uniformSteps_[same].from != range.from || uniformSteps_[same].dither != dither)
        ++same;
      uniformStepOfId_[id] = uint8_t(same);
    }
    return;
  }
  for (int id = 0; id < kRangeCount; ++id) searchForId_[id] = &SearchFor(config_.ranges[id]);
  // Ranges no ID uses any more are not worth their memory.
  const auto unused = [this](const std::unique_ptr<NearestColorSearch>& search) {
    return std::find(std::begin(searchForId_), std::end(searchForId_), search.get()) ==
           std::end(searchForId_);
  };
  searches_.erase(std::remove_if(searches_.begin(), searches_.end(), unused), searches_.end());
}

NearestColorSearch& PaletteMapper::SearchFor(const ColorRange& range) {
  for (const auto& search : searches_)
    if (search->from() == range.from && search->to() == range.to) return *search;
  searches_.push_back(std::make_unique<NearestColorSearch>(config_.palette, range.from, range.to));
  return *searches_.back();
}

void PaletteMapper::MapRow(const uint8_t* ids, int y, int width, Pixel64* pixels,
                           uint8_t* indices) {
  MapRowOf(ids, y, width, pixels, indices);
}

void PaletteMapper::MapRow(const uint16_t* ids, int y, int width, Pixel64* pixels,
                           uint8_t* indices) {
  MapRowOf(ids, y, width, pixels, indices);
}

template <typename Id>
void PaletteMapper::MapRowOf(const Id* ids, int y, int width, Pixel64* pixels, uint8_t* indices) {
  if (config_.method == kUniformDistribution) {
    MapUniformRow(ids, y, width, pixels, indices);
  } else {
    ForEachRun(
        ids, width, [this](unsigned id) -> NearestColorSearch& { return SearchForId(id); },
        [&](NearestColorSearch& search, int first, int count) {
          search.FindAll(pixels + first, count, indices + first);
        });
  }
  MergeColors(paletteColors_, AsBits(Pixel64{0, 0, 0, 0xFFFF}), indices, width, pixels);
}

// MapUniform and MapUniformDithered for a row, in two passes per chunk: the
// luminances in a SIMD loop, then the indices of each run of pixels whose IDs
// share a range. (n L) (-1/65536) truncated and subtracted from From equals
// From plus (n / 65536) L truncated: scaling by a power of two is exact, and
// truncation is symmetric about zero. Likewise (m L) (1/65536) = (m / 65536) L.
template <typename Id>
void PaletteMapper::MapUniformRow(const Id* ids, int y, int width, const Pixel64* pixels,
                                  uint8_t* indices) const {
  double luminances[kChunk];
  for (int start = 0; start < width; start += kChunk) {
    const int count = std::min(kChunk, width - start);
    Luminances(pixels + start, count, luminances);
    ForEachRun(
        ids + start, count,
        [this](unsigned id) -> const UniformStep& { return UniformStepForId(id); },
        [&](const UniformStep& step, int first, int length) {
          uint8_t* run = indices + start + first;
          if (step.dither)
            StepDitheredRun(step.scale, step.from, luminances + first, length, start + first + y,
                            run);
          else StepRun(step.scale, step.from, luminances + first, length, run);
        });
  }
}

}  // namespace selvo
