#include "extras/band_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>

namespace selvo {
namespace {

template <typename Box>
int64_t Distance(const ColorPoint& p, const Box& box, bool farthest) {
  int64_t sum = 0;
  for (int i = 0; i < 3; ++i) {
    const int64_t v = p.c[i];
    int64_t d;
    if (farthest) d = std::max(v - box.low[i], box.high[i] - v);
    else d = v < box.low[i] ? box.low[i] - v : v > box.high[i] ? v - box.high[i] : 0;
    sum += d * d;
  }
  return sum;
}

}  // namespace

BandSearch::BandSearch(const uint8_t palette[kPaletteSize], uint8_t from, uint8_t to,
                       ColorMatching matching, int ranks)
    : from_(from), to_(to), matching_(matching), ranks_(ranks) {
  if (from >= to) return;
  for (int k = from; k <= to; ++k) {
    const uint8_t* rgb = palette + 3 * k;
    const bool repeated = std::any_of(entries_.begin(), entries_.end(), [&](const Candidate& c) {
      return std::memcmp(palette + 3 * c.index, rgb, 3) == 0;
    });
    if (repeated) continue;
    const ColorPoint point = PointOfEntry(matching, rgb);
    entries_.push_back({point, uint8_t(k)});
    weights_.push_back(SquaredDistance(point, ColorPoint{{0, 0, 0}}));
  }
  kept_.resize(entries_.size());
  std::iota(kept_.begin(), kept_.end(), uint8_t(0));
  wholeBand_ = AppendKept();
  cells_.reset(
      static_cast<CellList*>(std::calloc(std::size_t(1) << (3 * kCellBits), sizeof(CellList))));
  if (!cells_) throw std::bad_alloc();
}

uint8_t BandSearch::Nearest(const Pixel64& color) {
  if (!cells_) return from_;
  const CellList& list = ListFor(color);
  if (list.size == 1) return uint8_t(list.begin);
  const ColorPoint p = PointOfPixel(matching_, color);
  const Candidate* candidate = pool_.data() + list.begin;
  int64_t best = INT64_MAX;
  uint8_t index = candidate->index;
  for (const Candidate* end = candidate + list.size; candidate != end; ++candidate) {
    const int64_t d = SquaredDistance(p, candidate->point);
    if (d < best) {
      best = d;
      index = candidate->index;
    }
  }
  return index;
}

uint8_t BandSearch::Dithered(const Pixel64& color, int levels, int threshold) {
  if (!cells_) return from_;
  const CellList& list = ListFor(color);
  if (list.size == 1) return uint8_t(list.begin);  // the band holds one colour
  const ColorPoint p = PointOfPixel(matching_, color);
  const Candidate* first = nullptr;
  const Candidate* second = nullptr;
  int64_t firstDistance = INT64_MAX, secondDistance = INT64_MAX;
  const Candidate* candidate = pool_.data() + list.begin;
  for (const Candidate* end = candidate + list.size; candidate != end; ++candidate) {
    const int64_t d = SquaredDistance(p, candidate->point);
    if (d < firstDistance) {
      second = first;
      secondDistance = firstDistance;
      first = candidate;
      firstDistance = d;
    } else if (d < secondDistance) {
      second = candidate;
      secondDistance = d;
    }
  }
  return ChooseBetween(p, first->index, first->point, second->index, second->point, levels,
                       threshold);
}

namespace {

// OKLab bounds (unrounded) of the colours of a cell with levels [low, high].
struct Bounds {
  double low[3], high[3];
};

// By interval arithmetic through the curve and the matrices: the curve and
// the first matrix only grow with each level, so the corners bound the
// cone responses; the cube root keeps the order; the second matrix mixes
// signs, so each of its terms takes the end that makes it least (greatest).
// Valid everywhere, but loose: l, m and s move together, which the second
// matrix's large terms of both signs (1.98 l - 2.43 m) do not know.
Bounds IntervalBounds(const int64_t (&low)[3], const int64_t (&high)[3]) {
  double rooted[2][3];
  for (int end = 0; end < 2; ++end) {
    double linear[3];
    for (int i = 0; i < 3; ++i) linear[i] = LinearOfLevel(uint16_t(end == 0 ? low[i] : high[i]));
    for (int i = 0; i < 3; ++i) rooted[end][i] = CubeRoot(MatrixRow(kLinearToLms, i, linear));
  }
  Bounds bounds;
  for (int i = 0; i < 3; ++i) {
    double least[3], greatest[3];
    for (int j = 0; j < 3; ++j) {
      const bool rising = kLmsToOklab[i][j] > 0;
      least[j] = rooted[rising ? 0 : 1][j];
      greatest[j] = rooted[rising ? 1 : 0][j];
    }
    bounds.low[i] = MatrixRow(kLmsToOklab, i, least);
    bounds.high[i] = MatrixRow(kLmsToOklab, i, greatest);
  }
  return bounds;
}

// By the mean value theorem about the cell's centre c: each coordinate
// o(p) = o(c) + J(q) (p - c) for some q in the cell, with the Jacobian J =
// M2 diag(cbrt'(lms)) M1 diag(curve'(level)), whose terms are bounded by the
// least and greatest slopes over the cell. Tight for the small cells of the
// search, but it needs a curve without a jump and finite cube-root slopes:
// false for a cell across the curve's knee or at black.
bool CentredBounds(const int64_t (&low)[3], const int64_t (&high)[3], Bounds& bounds) {
  double centre[3], slopeLow[3], slopeHigh[3], linearLow[3], linearHigh[3], linearCentre[3];
  for (int j = 0; j < 3; ++j) {
    if (low[j] <= kLastStraightLevel && high[j] > kLastStraightLevel) return false;
    centre[j] = double((low[j] + high[j] + 1) / 2);
    slopeLow[j] = CurveSlope(double(low[j]));
    slopeHigh[j] = CurveSlope(double(high[j]));
    linearLow[j] = LinearOfLevel(uint16_t(low[j]));
    linearHigh[j] = LinearOfLevel(uint16_t(high[j]));
    linearCentre[j] = LinearOfLevel(uint16_t(centre[j]));
  }
  // cbrt'(w) = 1 / (3 cbrt(w)^2), falling: least at the greatest response.
  double rootSlopeLow[3], rootSlopeHigh[3];
  for (int k = 0; k < 3; ++k) {
    const double least = MatrixRow(kLinearToLms, k, linearLow);
    if (!(least > 0)) return false;
    const double greatest = CubeRoot(MatrixRow(kLinearToLms, k, linearHigh));
    const double smallest = CubeRoot(least);
    rootSlopeLow[k] = 1 / (3 * greatest * greatest);
    rootSlopeHigh[k] = 1 / (3 * smallest * smallest);
  }
  double atCentre[3];
  LinearToOklab(linearCentre, atCentre);
  for (int i = 0; i < 3; ++i) {
    bounds.low[i] = bounds.high[i] = atCentre[i];
    for (int j = 0; j < 3; ++j) {
      double least = 0, greatest = 0;  // of J[i][j]
      for (int k = 0; k < 3; ++k) {
        const double term = kLmsToOklab[i][k] * kLinearToLms[k][j];
        const double small = rootSlopeLow[k] * slopeLow[j];
        const double large = rootSlopeHigh[k] * slopeHigh[j];
        least += term * (term > 0 ? small : large);
        greatest += term * (term > 0 ? large : small);
      }
      const double before = double(low[j]) - centre[j], after = double(high[j]) - centre[j];
      bounds.low[i] +=
          std::min({least * before, least * after, greatest * before, greatest * after});
      bounds.high[i] +=
          std::max({least * before, least * after, greatest * before, greatest * after});
    }
  }
  return true;
}

}  // namespace

BandSearch::Box BandSearch::CellBox(unsigned cell) const {
  constexpr unsigned kMask = (1u << kCellBits) - 1;
  constexpr int64_t kSize = int64_t(1) << (16 - kCellBits);
  Box levels;
  for (int i = 0; i < 3; ++i) {
    levels.low[i] = ((cell >> (kCellBits * (2 - i))) & kMask) * kSize;
    levels.high[i] = levels.low[i] + kSize - 1;
  }
  if (matching_ == ColorMatching::kRgb) return levels;
  // Both bounds hold, so their overlap does; two units of slack on either
  // side for the rounding of these bounds and of a pixel's own coordinates.
  Bounds bounds = IntervalBounds(levels.low, levels.high);
  Bounds centred;
  if (CentredBounds(levels.low, levels.high, centred)) {
    for (int i = 0; i < 3; ++i) {
      bounds.low[i] = std::max(bounds.low[i], centred.low[i]);
      bounds.high[i] = std::min(bounds.high[i], centred.high[i]);
    }
  }
  Box box;
  for (int i = 0; i < 3; ++i) {
    box.low[i] = int64_t(std::floor(bounds.low[i] * kOklabScale)) - 2;
    box.high[i] = int64_t(std::ceil(bounds.high[i] * kOklabScale)) + 2;
  }
  return box;
}

void BandSearch::KeepPossiblyRanked(const Box& box) {
  const std::size_t ranks = std::min<std::size_t>(ranks_, entries_.size());
  // The ranks-th least greatest distance: at every point of the box that
  // many entries lie within it, so no entry farther than it from the whole
  // box ranks there.
  int64_t least[2] = {INT64_MAX, INT64_MAX};
  for (const Candidate& entry : entries_) {
    const int64_t d = Distance(entry.point, box, true);
    if (d < least[0]) {
      least[1] = least[0];
      least[0] = d;
    } else if (d < least[1]) {
      least[1] = d;
    }
  }
  const int64_t bound = least[ranks - 1];
  withinBound_.clear();
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (Distance(entries_[i].point, box, false) <= bound) withinBound_.push_back(uint8_t(i));
  // a beats b everywhere when |x - a|^2 - |x - b|^2 = 2 x.(b - a) + |a|^2 -
  // |b|^2, linear in x, is below 0 at the box's corner that maximises it,
  // or 0 there with a the lower index.
  const auto beats = [&](uint8_t a, uint8_t b) {
    int64_t most = weights_[a] - weights_[b];
    for (int i = 0; i < 3; ++i) {
      const int64_t slope = int64_t(entries_[b].point.c[i]) - entries_[a].point.c[i];
      most += 2 * slope * (slope > 0 ? box.high[i] : box.low[i]);
    }
    return most < 0 || (most == 0 && entries_[a].index < entries_[b].index);
  };
  kept_.clear();
  for (uint8_t candidate : withinBound_) {
    std::size_t beaten = 0;
    for (uint8_t other : withinBound_)
      if (other != candidate && beats(other, candidate) && ++beaten == ranks) break;
    if (beaten < ranks) kept_.push_back(candidate);
  }
}

BandSearch::CellList BandSearch::AppendKept() {
  if (kept_.size() == 1) return CellList{entries_[kept_[0]].index, 1};
  const CellList list{uint32_t(pool_.size()), uint32_t(kept_.size())};
  for (uint8_t position : kept_) pool_.push_back(entries_[position]);
  return list;
}

void BandSearch::BuildCell(unsigned cell) {
  try {
    KeepPossiblyRanked(CellBox(cell));
    const bool fits = pool_.size() + kept_.size() <= kMaxPoolSize;
    cells_[cell] = fits ? AppendKept() : wholeBand_;
  } catch (const std::bad_alloc&) {
    cells_[cell] = wholeBand_;  // a valid list for every cell
  }
}

}  // namespace selvo
