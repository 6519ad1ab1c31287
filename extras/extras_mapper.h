// Maps rows with the extras beside the filter's settings: a PaletteMapper
// for everything the filter maps itself, the extras' rules for the IDs that
// chose one, transparency over both, and outlines once the frame is done.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/map_pixel.h"
#include "core/palette_mapper.h"
#include "core/renderer_config.h"
#include "extras/band_search.h"
#include "extras/extras.h"
#include "extras/frame_passes.h"
#include "extras/ordered_dither.h"

namespace selvo {

// Every pixel gets what this rule gives it:
//  1. alpha below the transparency threshold: the transparent index;
//  2. outlined (FrameOutlines): its ID's outline index;
//  3. otherwise, by its ID's settings (IDs 16 and above use ID 0's):
//     uniform distribution with a pattern: MapUniformOrdered;
//     most similar colour with a pattern: MapSimilarOrdered;
//     most similar colour in OKLab: FindMostSimilar;
//     anything else: the filter's MapPixel.
// With no extra chosen, MapRow is PaletteMapper::MapRow. One mapper serves
// one thread; the outlines of a frame are found once, before its rows, and
// shared by every thread's mapper.
class ExtrasMapper {
 public:
  // Searches prepared for an earlier frame are kept while the palette and
  // their band stay the same. May throw std::bad_alloc.
  void Prepare(const RendererConfig& config, const Extras& extras);

  // PaletteMapper::MapRow's contract, with the extras.
  void MapRow(const uint8_t* ids, int y, int width, Pixel64* pixels, uint8_t* indices);
  void MapRow(const uint16_t* ids, int y, int width, Pixel64* pixels, uint8_t* indices);

  // Whether an outline is chosen: then a frame's outlines are found with
  // FindOutlines before its rows are mapped.
  bool HasOutlines() const { return outlines_.Any(); }
  // Finds them for a frame in memory (`pixels` as rendered, before MapRow).
  void FindOutlines(const uint8_t* ids, int width, int height, const Pixel64* pixels,
                    FrameOutlines& outlines) const;
  void FindOutlines(const uint16_t* ids, int width, int height, const Pixel64* pixels,
                    FrameOutlines& outlines) const;
  // The outlines MapRow draws from now on (the frame's, found before its
  // rows); null: none. They must stay while rows are mapped.
  void DrawOutlinesFrom(const FrameOutlines* outlines) { frameOutlines_ = outlines; }

 private:
  enum class Rule : uint8_t { kFilter, kUniformOrdered, kNearest, kSimilarOrdered };
  // How one ID's pixels are mapped; IDs with equal plans share one, so that
  // rows are mapped in long runs.
  struct Plan {
    Rule rule = Rule::kFilter;
    OrderedDither dither = OrderedDither::kNone;
    // kUniformOrdered: MapUniformOrdered's terms, N = 2^shift.
    double scale = 0;  // m / 65536: exact, a power of two apart from m
    int from = 0;
    int direction = 1;  // -1 when To < From
    int shift = 0;
    BandSearch* search = nullptr;  // kNearest, kSimilarOrdered
    bool operator==(const Plan& other) const;
  };

  Plan PlanFor(const ColorRange& range, OrderedDither dither, ColorMatching matching);
  BandSearch& SearchFor(const ColorRange& range, ColorMatching matching, int ranks);
  const Plan& PlanOfId(unsigned id) const { return plans_[planOfId_[id < kRangeCount ? id : 0]]; }
  template <typename Id>
  void MapRowOf(const Id* ids, int y, int width, Pixel64* pixels, uint8_t* indices);
  void MapRun(const Plan& plan, int x, int y, int count, Pixel64* pixels, uint8_t* indices);
  void MapUniformOrderedRun(const Plan& plan, int x, int y, int count, const Pixel64* pixels,
                            uint8_t* indices);
  // The thresholds of row y of a pattern for x = 0..width - 1.
  const uint8_t* ThresholdRow(OrderedDither dither, int y, int width);

  RendererConfig config_;
  PaletteMapper filter_;
  bool filterOnly_ = true;  // no ID chose a rule of the extras
  Plan plans_[kRangeCount];
  uint8_t planOfId_[kRangeCount] = {};
  uint32_t transparentBelow_ = 0;
  uint8_t transparentIndex_ = 0;
  OutlinePlan outlines_;
  const FrameOutlines* frameOutlines_ = nullptr;
  uint64_t paletteColors_[256] = {};  // each entry as a pixel record, alpha 0
  std::vector<std::unique_ptr<BandSearch>> searches_;
  // Per pattern: its rows' thresholds repeated across the frame's width.
  std::vector<uint8_t> thresholdRows_[2];
  int thresholdWidth_ = 0;
};

}  // namespace selvo
