#include "extras/extras_mapper.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/row_runs.h"
#include "core/simd_clones.h"

namespace selvo {
namespace {

// Pixels per pass of the ordered uniform loop: their luminances stay in L1.
constexpr int kChunk = 256;

SELVO_SIMD_CLONES void Luminances(const Pixel64* pixels, int count, double* luminances) {
  for (int i = 0; i < count; ++i) luminances[i] = Luminance(pixels[i]);
}

// MapUniformOrdered for a run of pixels that share a band and a pattern.
// F is never negative, so F / N and F mod N are a shift and a mask; (m L)
// (1/65536) equals (m / 65536) L, since scaling by a power of two is exact.
SELVO_SIMD_CLONES void StepOrderedRun(double scale, int from, int direction, int shift,
                                      const double* luminances, const uint8_t* thresholds,
                                      int count, uint8_t* indices) {
  const int mask = (1 << shift) - 1;
  for (int i = 0; i < count; ++i) {
    const int f = int(scale * luminances[i]);
    const int step = (f >> shift) + ((f & mask) > thresholds[i]);
    indices[i] = uint8_t(from + direction * step);
  }
}

}  // namespace

bool ExtrasMapper::Plan::operator==(const Plan& other) const {
  return rule == other.rule && dither == other.dither && scale == other.scale &&
         from == other.from && direction == other.direction && shift == other.shift &&
         search == other.search;
}

void ExtrasMapper::Prepare(const RendererConfig& config, const Extras& extras) {
  if (std::memcmp(config.palette, config_.palette, kPaletteSize) != 0) searches_.clear();
  config_ = config;
  filter_.Prepare(config);
  for (int k = 0; k < 256; ++k) {
    const uint8_t* entry = config.palette + 3 * k;
    paletteColors_[k] = AsBits(
        Pixel64{uint16_t(entry[0] * 256), uint16_t(entry[1] * 256), uint16_t(entry[2] * 256), 0});
  }
  std::vector<BandSearch*> used;
  filterOnly_ = true;
  for (int id = 0; id < kRangeCount; ++id) {
    plans_[id] = PlanFor(config.ranges[id], extras.dither[id], extras.matching);
    if (plans_[id].search) used.push_back(plans_[id].search);
    filterOnly_ = filterOnly_ && plans_[id].rule == Rule::kFilter;
    int same = 0;
    while (!(plans_[same] == plans_[id])) ++same;
    planOfId_[id] = uint8_t(same);
  }
  // Searches no ID uses any more are not worth their memory.
  searches_.erase(std::remove_if(searches_.begin(), searches_.end(),
                                 [&](const std::unique_ptr<BandSearch>& search) {
                                   return std::find(used.begin(), used.end(), search.get()) ==
                                          used.end();
                                 }),
                  searches_.end());
  transparentBelow_ = TransparentBelow(extras.transparency);
  transparentIndex_ = TransparentIndex(extras.transparency, config);
  outlines_ = OutlinePlan(extras);
}

ExtrasMapper::Plan ExtrasMapper::PlanFor(const ColorRange& range, OrderedDither dither,
                                         ColorMatching matching) {
  Plan plan;
  if (config_.method == kUniformDistribution) {
    if (dither == OrderedDither::kNone) return plan;
    plan.rule = Rule::kUniformOrdered;
    plan.dither = dither;
    plan.shift = dither == OrderedDither::kBayer4 ? 4 : 6;
    const int span = std::abs(int(range.to) - int(range.from));
    plan.scale = ((span << plan.shift) + 1) / 65536.0;
    plan.from = range.from;
    plan.direction = range.to < range.from ? -1 : 1;
    return plan;
  }
  if (dither != OrderedDither::kNone) {
    plan.rule = Rule::kSimilarOrdered;
    plan.dither = dither;
    plan.search = &SearchFor(range, matching, 2);
  } else if (matching == ColorMatching::kOklab) {
    plan.rule = Rule::kNearest;
    plan.search = &SearchFor(range, matching, 1);
  }
  return plan;
}

BandSearch& ExtrasMapper::SearchFor(const ColorRange& range, ColorMatching matching, int ranks) {
  for (const auto& search : searches_)
    if (search->from() == range.from && search->to() == range.to &&
        search->matching() == matching && search->ranks() == ranks)
      return *search;
  searches_.push_back(
      std::make_unique<BandSearch>(config_.palette, range.from, range.to, matching, ranks));
  return *searches_.back();
}

void ExtrasMapper::MapRow(const uint8_t* ids, int y, int width, Pixel64* pixels, uint8_t* indices) {
  MapRowOf(ids, y, width, pixels, indices);
}

void ExtrasMapper::MapRow(const uint16_t* ids, int y, int width, Pixel64* pixels,
                          uint8_t* indices) {
  MapRowOf(ids, y, width, pixels, indices);
}

template <typename Id>
void ExtrasMapper::MapRowOf(const Id* ids, int y, int width, Pixel64* pixels, uint8_t* indices) {
  if (filterOnly_) {
    filter_.MapRow(ids, y, width, pixels, indices);
  } else {
    ForEachRun(
        ids, width, [this](unsigned id) -> const Plan& { return PlanOfId(id); },
        [&](const Plan& plan, int x, int count) {
          if (plan.rule == Rule::kFilter)
            // The filter's rule sees x only through the parity of x + y, so
            // the run, mapped as a row of its own from x = 0, is given y + x.
            filter_.MapRow(ids + x, y + x, count, pixels + x, indices + x);
          else MapRun(plan, x, y, count, pixels + x, indices + x);
        });
  }
  if (transparentBelow_ != 0)
    MarkTransparent(transparentBelow_, transparentIndex_, config_.palette, width, pixels, indices);
  if (frameOutlines_ != nullptr) frameOutlines_->DrawRow(y, config_.palette, pixels, indices);
}

void ExtrasMapper::MapRun(const Plan& plan, int x, int y, int count, Pixel64* pixels,
                          uint8_t* indices) {
  switch (plan.rule) {
    case Rule::kUniformOrdered: MapUniformOrderedRun(plan, x, y, count, pixels, indices); break;
    case Rule::kNearest:
      for (int i = 0; i < count; ++i) indices[i] = plan.search->Nearest(pixels[i]);
      break;
    case Rule::kSimilarOrdered: {
      const int levels = PatternLevels(plan.dither);
      for (int i = 0; i < count; ++i)
        indices[i] =
            plan.search->Dithered(pixels[i], levels, PatternThreshold(plan.dither, x + i, y));
      break;
    }
    case Rule::kFilter: break;  // mapped by the filter's mapper
  }
  MergeColors(paletteColors_, AsBits(Pixel64{0, 0, 0, 0xFFFF}), indices, count, pixels);
}

void ExtrasMapper::MapUniformOrderedRun(const Plan& plan, int x, int y, int count,
                                        const Pixel64* pixels, uint8_t* indices) {
  const uint8_t* thresholds = ThresholdRow(plan.dither, y, x + count) + x;
  double luminances[kChunk];
  for (int start = 0; start < count; start += kChunk) {
    const int length = std::min(kChunk, count - start);
    Luminances(pixels + start, length, luminances);
    StepOrderedRun(plan.scale, plan.from, plan.direction, plan.shift, luminances,
                   thresholds + start, length, indices + start);
  }
}

const uint8_t* ExtrasMapper::ThresholdRow(OrderedDither dither, int y, int width) {
  const int size = dither == OrderedDither::kBayer4 ? 4 : 8;
  std::vector<uint8_t>& rows = thresholdRows_[dither == OrderedDither::kBayer4 ? 0 : 1];
  if (width > thresholdWidth_) {
    thresholdWidth_ = std::max(width, 2 * thresholdWidth_);
    for (std::vector<uint8_t>& kind : thresholdRows_) kind.clear();
  }
  if (rows.empty()) {
    rows.resize(std::size_t(size) * thresholdWidth_);
    for (int row = 0; row < size; ++row)
      for (int x = 0; x < thresholdWidth_; ++x)
        rows[std::size_t(row) * thresholdWidth_ + x] = uint8_t(PatternThreshold(dither, x, row));
  }
  return rows.data() + std::size_t(y & (size - 1)) * thresholdWidth_;
}

void ExtrasMapper::FindOutlines(const uint8_t* ids, int width, int height, const Pixel64* pixels,
                                FrameOutlines& outlines) const {
  outlines.Find(outlines_, ids, width, height, pixels);
}

void ExtrasMapper::FindOutlines(const uint16_t* ids, int width, int height, const Pixel64* pixels,
                                FrameOutlines& outlines) const {
  outlines.Find(outlines_, ids, width, height, pixels);
}

}  // namespace selvo
