#include "core/nearest_color.h"

#include <array>
#include <new>
#include <numeric>

namespace selvo {
namespace {

// One axis of a cell: the closed range of 16-bit levels [low, high].
struct Span {
  int64_t low;
  int64_t high;
};

struct Box {
  Span r, g, b;
};

Box CellBox(unsigned cell, int bits) {
  const unsigned mask = (1u << bits) - 1;
  const int64_t size = int64_t(1) << (16 - bits);
  const auto span = [&](unsigned i) { return Span{i * size, i * size + size - 1}; };
  return Box{span((cell >> (2 * bits)) & mask), span((cell >> bits) & mask), span(cell & mask)};
}

int64_t NearestOffset(int64_t level, const Span& span) {
  if (level < span.low) return span.low - level;
  if (level > span.high) return level - span.high;
  return 0;
}

int64_t FarthestOffset(int64_t level, const Span& span) {
  return std::max(level - span.low, span.high - level);
}

// Squared distance from a palette entry (bytes r, g, b) to the nearest or
// farthest point of a box, by the offset function given.
template <typename Entry, typename Offset>
int64_t Distance(const Entry& entry, const Box& box, Offset offset) {
  const int64_t dr = offset(256 * entry.r, box.r);
  const int64_t dg = offset(256 * entry.g, box.g);
  const int64_t db = offset(256 * entry.b, box.b);
  return dr * dr + dg * dg + db * db;
}

// Whether `a` wins the linear search's comparison against `b` at every
// colour x of the box: nearer, or as near with the lower index. The
// difference of squared distances |x - 256a|^2 - |x - 256b|^2 is linear in x,
// 512 (x.(b - a) + weight(a) - weight(b)), so its largest value in the box
// is at a corner.
template <typename Entry>
bool BeatsEverywhere(const Entry& a, const Entry& b, const Box& box) {
  const auto largest = [](int64_t slope, const Span& span) {
    return slope * (slope > 0 ? span.high : span.low);
  };
  const int64_t most = largest(int64_t(b.r) - a.r, box.r) + largest(int64_t(b.g) - a.g, box.g) +
                       largest(int64_t(b.b) - a.b, box.b) + int64_t(a.weight) - b.weight;
  return most < 0 || (most == 0 && a.index < b.index);
}

// 0, 1, ..., 255: every entry's position, the list a coarse cell starts from.
const uint8_t* AllPositions() {
  static const std::array<uint8_t, 256> positions = [] {
    std::array<uint8_t, 256> p;
    std::iota(p.begin(), p.end(), uint8_t(0));
    return p;
  }();
  return positions.data();
}

}  // namespace

NearestColorSearch::NearestColorSearch(const uint8_t palette[kPaletteSize], uint8_t from,
                                       uint8_t to)
    : from_(from), to_(to) {
  if (from >= to) return;
  // An entry repeating the colour of a lower entry can never win the strict
  // comparison, so only the first of each colour takes part.
  for (int k = from; k <= to; ++k) {
    const uint8_t* rgb = palette + 3 * k;
    const bool repeated = std::any_of(entries_.begin(), entries_.end(), [&](const Candidate& c) {
      return c.r == rgb[0] && c.g == rgb[1] && c.b == rgb[2];
    });
    if (repeated) continue;
    const int32_t weight = 128 * (rgb[0] * rgb[0] + rgb[1] * rgb[1] + rgb[2] * rgb[2]);
    entries_.push_back({weight, rgb[0], rgb[1], rgb[2], uint8_t(k)});
  }
  kept_.resize(entries_.size());
  std::iota(kept_.begin(), kept_.end(), uint8_t(0));
  wholeRange_ = AppendFineList();
  coarseCells_.assign(std::size_t(1) << (3 * kCoarseBits), CellList{0, 0});
  fineCells_.reset(
      static_cast<CellList*>(std::calloc(std::size_t(1) << (3 * kFineBits), sizeof(CellList))));
  if (!fineCells_) throw std::bad_alloc();
}

void NearestColorSearch::KeepPossiblyNearest(unsigned cell, int bits, const uint8_t* positions,
                                             std::size_t count) {
  const Box box = CellBox(cell, bits);
  // Every colour of the cell lies within `bound` of some entry, so an entry
  // farther than that from the whole cell is never nearest there. Cheap, and
  // most entries of a long range fail it.
  int64_t bound = INT64_MAX;
  for (std::size_t i = 0; i < count; ++i)
    bound = std::min(bound, Distance(entries_[positions[i]], box, FarthestOffset));
  withinBound_.clear();
  for (std::size_t i = 0; i < count; ++i)
    if (Distance(entries_[positions[i]], box, NearestOffset) <= bound)
      withinBound_.push_back(positions[i]);
  // Of the rest, an entry that another beats at every colour of the cell is
  // never nearest there either. This is what keeps cells of colours far from
  // every entry short: there all distances are long and close to each other.
  kept_.clear();
  for (uint8_t candidate : withinBound_) {
    const auto beats = [&](uint8_t other) {
      return BeatsEverywhere(entries_[other], entries_[candidate], box);
    };
    if (std::none_of(withinBound_.begin(), withinBound_.end(), beats)) kept_.push_back(candidate);
  }
}

NearestColorSearch::CellList NearestColorSearch::CoarseCellAround(unsigned fineCell) {
  constexpr int kShift = kFineBits - kCoarseBits;
  constexpr unsigned kMask = (1u << kFineBits) - 1;
  const unsigned r = (fineCell >> (2 * kFineBits)) & kMask;
  const unsigned g = (fineCell >> kFineBits) & kMask;
  const unsigned b = fineCell & kMask;
  const unsigned cell =
      ((r >> kShift) << (2 * kCoarseBits)) | ((g >> kShift) << kCoarseBits) | (b >> kShift);
  CellList& list = coarseCells_[cell];
  if (list.size == 0) {
    KeepPossiblyNearest(cell, kCoarseBits, AllPositions(), entries_.size());
    const CellList built{uint32_t(coarsePool_.size()), uint32_t(kept_.size())};
    coarsePool_.insert(coarsePool_.end(), kept_.begin(), kept_.end());
    list = built;
  }
  return list;
}

NearestColorSearch::CellList NearestColorSearch::AppendFineList() {
  if (kept_.size() == 1) return CellList{entries_[kept_[0]].index, 1};
  const CellList list{uint32_t(finePool_.size()), uint32_t(kept_.size())};
  for (uint8_t position : kept_) finePool_.push_back(entries_[position]);
  // The last group is filled with repeats, which change no minimum.
  while ((finePool_.size() - list.begin) % kGroup != 0) finePool_.push_back(finePool_.back());
  return CellList{list.begin, uint32_t(finePool_.size()) - list.begin};
}

void NearestColorSearch::FindAll(const Pixel64* colors, int count, uint8_t* indices) {
  if (!fineCells_) {
    std::fill_n(indices, count, from_);
    return;
  }
  // Two passes per block: one without branches answers every colour whose
  // cell holds a single candidate and marks the others, which Find answers
  // afterwards. Mixing both in one loop costs a mispredicted branch wherever
  // the kinds alternate, which on short ranges is most of the time.
  constexpr int kBlock = 64;
  for (int start = 0; start < count; start += kBlock) {
    const int size = std::min(kBlock, count - start);
    uint64_t pending = 0;
    for (int i = 0; i < size; ++i) {
      const CellList list = fineCells_[CellOf(colors[start + i], kFineBits)];
      indices[start + i] = uint8_t(list.begin);
      pending |= uint64_t(list.size != 1) << i;
    }
    for (; pending != 0; pending &= pending - 1) {
      const int i = start + __builtin_ctzll(pending);
      indices[i] = Find(colors[i]);
    }
  }
}

NearestColorSearch::CellList NearestColorSearch::BuildFineCell(unsigned cell) {
  try {
    const CellList coarse = CoarseCellAround(cell);
    KeepPossiblyNearest(cell, kFineBits, coarsePool_.data() + coarse.begin, coarse.size);
    const bool fits = finePool_.size() + kept_.size() + kGroup <= kMaxPoolSize;
    fineCells_[cell] = fits ? AppendFineList() : wholeRange_;
  } catch (const std::bad_alloc&) {
    fineCells_[cell] = wholeRange_;  // a valid list for every cell
  }
  return fineCells_[cell];
}

}  // namespace selvo
