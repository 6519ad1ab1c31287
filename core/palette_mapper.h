// Maps whole rows of a frame to palette indices, keeping what it prepares for
// one frame (the nearest-colour searches) for the next frames of a sequence.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/map_pixel.h"
#include "core/nearest_color.h"
#include "core/renderer_config.h"

namespace selvo {

// Gives every pixel the index MapPixel gives it, a row at a time and without
// a per-pixel search of the whole range. One mapper serves one thread.
class PaletteMapper {
 public:
  // Takes the settings of the next frame. Searches prepared for an earlier
  // frame are kept while the palette and their range stay the same. May
  // throw std::bad_alloc.
  void Prepare(const RendererConfig& config);

  // Maps row y in place: each pixel's index goes to `indices`, and its r, g, b
  // become the palette colour (bytes scaled by 256), alpha kept. `ids` holds
  // the row's IDs: bytes from the material effects channel or 16-bit object IDs.
  void MapRow(const uint8_t* ids, int y, int width, Pixel64* pixels, uint8_t* indices);
  void MapRow(const uint16_t* ids, int y, int width, Pixel64* pixels, uint8_t* indices);

 private:
  // How MapUniform and MapUniformDithered step through one ID's range.
  struct UniformStep {
    double scale;  // n / 65536 (m / 65536 dithered): exact, a power of two
    int from;
    bool dither;
  };
  // The step for an ID; IDs with equal ranges share one, so that a row is
  // mapped in long runs of pixels with the same step.
  const UniformStep& UniformStepForId(unsigned id) const {
    return uniformSteps_[uniformStepOfId_[id < kRangeCount ? id : 0]];
  }

  template <typename Id>
  void MapRowOf(const Id* ids, int y, int width, Pixel64* pixels, uint8_t* indices);
  template <typename Id>
  void MapUniformRow(const Id* ids, int y, int width, const Pixel64* pixels,
                     uint8_t* indices) const;
  NearestColorSearch& SearchFor(const ColorRange& range);
  // IDs 16 and above share ID 0's range, as RangeForId has it.
  NearestColorSearch& SearchForId(unsigned id) { return *searchForId_[id < kRangeCount ? id : 0]; }

  RendererConfig config_;
  UniformStep uniformSteps_[kRangeCount] = {};
  uint8_t uniformStepOfId_[kRangeCount] = {};
  // Each palette entry as a whole pixel record (bytes scaled by 256, alpha 0),
  // so that writing a colour back is one 64-bit merge.
  uint64_t paletteColors_[256] = {};
  // One search per distinct range of the current palette; searchForId_ points
  // each ID at its own.
  std::vector<std::unique_ptr<NearestColorSearch>> searches_;
  NearestColorSearch* searchForId_[kRangeCount] = {};
};

}  // namespace selvo
