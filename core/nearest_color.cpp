#include "core/nearest_color.h"

#include <algorithm>
#include <new>

namespace selvo {
namespace {

constexpr uint32_t kNotBuilt = 0;

// One axis of a cell: the closed range of 16-bit levels [low, high].
struct Span {
  int64_t low;
  int64_t high;
};

int64_t NearestOffset(int64_t level, const Span& span) {
  if (level < span.low) return span.low - level;
  if (level > span.high) return level - span.high;
  return 0;
}

int64_t FarthestOffset(int64_t level, const Span& span) {
  return std::max(level - span.low, span.high - level);
}

}  // namespace

NearestColorSearch::NearestColorSearch(const uint8_t palette[kPaletteSize],
                                       uint8_t from, uint8_t to)
    : from_(from), to_(to) {
  if (from >= to) return;
  // An entry repeating the colour of a lower entry can never win the strict
  // comparison, so only the first of each colour takes part.
  for (int k = from; k <= to; ++k) {
    const uint8_t* entry = palette + 3 * k;
    const bool repeated = std::any_of(pool_.begin(), pool_.end(), [&](const Candidate& c) {
      return c.r == entry[0] && c.g == entry[1] && c.b == entry[2];
    });
    if (repeated) continue;
    const int32_t weight =
        128 * (entry[0] * entry[0] + entry[1] * entry[1] + entry[2] * entry[2]);
    pool_.push_back({weight, entry[0], entry[1], entry[2], uint8_t(k)});
  }
  entryCount_ = uint32_t(pool_.size());
  cells_.assign(std::size_t(1) << (3 * kCellBits), CellList{0, kNotBuilt});
}

void NearestColorSearch::BuildCell(unsigned cell) {
  const auto axis = [cell](int shift) {
    const int64_t low = int64_t((cell >> shift) & ((1u << kCellBits) - 1)) << kCellShift;
    return Span{low, low + (int64_t(1) << kCellShift) - 1};
  };
  const Span r = axis(2 * kCellBits), g = axis(kCellBits), b = axis(0);
  const auto distance = [&](const Candidate& c, int64_t (*offset)(int64_t, const Span&)) {
    const int64_t dr = offset(256 * c.r, r), dg = offset(256 * c.g, g), db = offset(256 * c.b, b);
    return dr * dr + dg * dg + db * db;
  };

  // Every colour of the cell lies within `bound` of some entry, so an entry
  // farther than that from the whole cell is never nearest there.
  int64_t bound = INT64_MAX;
  for (uint32_t i = 0; i < entryCount_; ++i)
    bound = std::min(bound, distance(pool_[i], FarthestOffset));

  const std::size_t begin = pool_.size();
  try {
    // Room for the worst case first, so that appending never moves the
    // entries being read.
    if (pool_.capacity() - begin < entryCount_)
      pool_.reserve(std::max(2 * pool_.capacity(), begin + entryCount_));
  } catch (const std::bad_alloc&) {
    cells_[cell] = CellList{0, entryCount_};  // the whole range is a valid list
    return;
  }
  for (uint32_t i = 0; i < entryCount_; ++i)
    if (distance(pool_[i], NearestOffset) <= bound) pool_.push_back(pool_[i]);
  cells_[cell] = CellList{uint32_t(begin), uint32_t(pool_.size())};
}

}  // namespace selvo
