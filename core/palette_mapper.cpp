#include "core/palette_mapper.h"

#include <algorithm>
#include <cstring>

namespace selvo {

void PaletteMapper::Prepare(const RendererConfig& config) {
  if (std::memcmp(config.palette, config_.palette, kPaletteSize) != 0) searches_.clear();
  config_ = config;
  std::fill(std::begin(searchForId_), std::end(searchForId_), nullptr);
  if (config_.method == kUniformDistribution) return;
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
  searches_.push_back(
      std::make_unique<NearestColorSearch>(config_.palette, range.from, range.to));
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
void PaletteMapper::MapRowOf(const Id* ids, int y, int width, Pixel64* pixels,
                             uint8_t* indices) {
  if (config_.method == kUniformDistribution) {
    for (int x = 0; x < width; ++x) {
      const ColorRange& range = RangeForId(config_, ids[x]);
      indices[x] = range.dither != 0 ? MapUniformDithered(pixels[x], x, y, range)
                                     : MapUniform(pixels[x], range);
    }
  } else {
    for (int x = 0; x < width; ++x)
      indices[x] = SearchForId(ids[x]).Find(pixels[x]);
  }
  for (int x = 0; x < width; ++x) {
    const uint8_t* entry = config_.palette + 3 * indices[x];
    pixels[x].r = uint16_t(entry[0] * 256);
    pixels[x].g = uint16_t(entry[1] * 256);
    pixels[x].b = uint16_t(entry[2] * 256);
  }
}

}  // namespace selvo
