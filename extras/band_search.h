// The nearest entries of one band in RGB or OKLab, fast and exact: the same
// indices the linear searches of extras/oklab.h and extras/ordered_dither.h
// give, ties included.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/map_pixel.h"
#include "core/renderer_config.h"
#include "extras/extras.h"
#include "extras/oklab.h"
#include "extras/ordered_dither.h"

namespace selvo {

// Splits the 16-bit colour cube into 64 x 64 x 64 cells and keeps, per cell,
// the band's entries that can rank first (or, for the ordered dither, first
// or second) for some colour of the cell. A cell's list is built the first
// time a colour falls into it and kept while the palette stays, so a
// sequence pays for each cell once.
//
// Exactness. Every colour of a cell lies in a box of the matching space: the
// cell itself in RGB; in OKLab a box found by carrying the cell's corner
// levels through the curve, the matrices and the cube root by interval
// arithmetic, widened by two units for rounding. An entry ranks within the
// first K (K = 1 or 2) somewhere in the box only if its least distance to
// the box does not exceed the K-th least greatest distance of any entry, and
// if fewer than K other entries win against it (nearer, or as near with a
// lower index) at every point of the box; the difference of two squared
// distances is linear in the point, so that holds when it holds at the
// box's corners. Both tests are exact integer arithmetic, so no entry that
// the linear search ranks there is dropped, and the kept entries, scanned in
// index order with strict comparisons, rank exactly as the linear search.
// Only the first entry of each colour takes part: a repeat never wins.
class BandSearch {
 public:
  // ranks 1: Nearest; ranks 2: also Dithered. From >= To answers From. May
  // throw std::bad_alloc.
  BandSearch(const uint8_t palette[kPaletteSize], uint8_t from, uint8_t to, ColorMatching matching,
             int ranks);

  uint8_t from() const { return from_; }
  uint8_t to() const { return to_; }
  ColorMatching matching() const { return matching_; }
  int ranks() const { return ranks_; }

  // FindMostSimilar. Not const: fills the colour's cell on first use.
  uint8_t Nearest(const Pixel64& color);
  // MapSimilarOrdered for a pixel whose threshold of a pattern of `levels`
  // is `threshold`.
  uint8_t Dithered(const Pixel64& color, int levels, int threshold);

 private:
  static constexpr int kCellBits = 6;  // 64 cells per axis
  // Lists stop growing past this many candidates (16 MB); later cells scan
  // the whole band.
  static constexpr std::size_t kMaxPoolSize = std::size_t(1) << 20;

  struct Candidate {
    ColorPoint point;
    uint8_t index;
  };
  struct CellList {
    uint32_t begin;  // in pool_; a single candidate keeps its index here
    uint32_t size;   // 0: not built yet
  };
  struct Box {
    int64_t low[3];
    int64_t high[3];
  };
  struct FreeCells {
    void operator()(CellList* cells) const { std::free(cells); }
  };

  static unsigned CellOf(const Pixel64& color) {
    constexpr int shift = 16 - kCellBits;
    return (unsigned(color.r >> shift) << (2 * kCellBits)) |
           (unsigned(color.g >> shift) << kCellBits) | unsigned(color.b >> shift);
  }
  const CellList& ListFor(const Pixel64& color) {
    CellList& list = cells_[CellOf(color)];
    if (list.size == 0) BuildCell(CellOf(color));
    return list;
  }
  void BuildCell(unsigned cell);
  Box CellBox(unsigned cell) const;
  void KeepPossiblyRanked(const Box& box);
  CellList AppendKept();

  uint8_t from_;
  uint8_t to_;
  ColorMatching matching_;
  int ranks_;
  std::vector<Candidate> entries_;                // the band's distinct colours, in index order
  std::vector<int64_t> weights_;                  // |point|^2 of each entry
  std::unique_ptr<CellList[], FreeCells> cells_;  // calloc: untouched cells cost no memory
  std::vector<Candidate> pool_;
  CellList wholeBand_{0, 0};
  std::vector<uint8_t> withinBound_;  // scratch: positions in entries_
  std::vector<uint8_t> kept_;         // scratch: positions in entries_
};

}  // namespace selvo
