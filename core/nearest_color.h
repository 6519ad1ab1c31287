// The nearest palette entry within one range, fast and exact: the same index
// FindMostSimilarColor's linear search gives for every colour, ties included.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/map_pixel.h"
#include "core/renderer_config.h"

namespace selvo {

// Splits the colour cube into cells and keeps, per cell, the range's entries
// that can be nearest to some colour of that cell; most cells of a rendered
// frame keep one or two. A cell's list is built the first time a colour falls
// into it and kept for every later frame with the same palette and range, so
// a sequence pays for each cell once. Fine cells are built from the list of
// the coarse cell around them, which keeps building cheap.
//
// Exactness. An entry can only be nearest somewhere in a cell if its least
// distance to the cell does not exceed the greatest distance of the entry
// that is best in the worst case, and if no other entry wins against it (is
// nearer, or as near with a lower index) at every colour of the cell. Neither
// test drops an entry that the linear search picks for some colour of the
// cell, ties included. Among the kept entries the least (distance, index)
// pair is exactly what the linear search with its strict comparison finds.
//
// Distances are compared as 128|Q|^2 - Q.p, with Q the palette bytes and p
// the 16-bit colour: the true squared distance |256 Q - p|^2 equals
// 512 (128|Q|^2 - Q.p) + |p|^2, so both order the entries identically and
// the short form fits 32 bits.
class NearestColorSearch {
 public:
  // Copies what it needs of the palette. A range with From >= To needs no
  // search: it answers From. May throw std::bad_alloc.
  NearestColorSearch(const uint8_t palette[kPaletteSize], uint8_t from, uint8_t to);

  uint8_t from() const { return from_; }
  uint8_t to() const { return to_; }

  // Not const: fills the colour's cell on first use. Never fails; a cell
  // whose list cannot be allocated, or would pass the pool's limit, scans
  // the whole range instead.
  uint8_t Find(const Pixel64& color) {
    if (!fineCells_) return from_;
    const unsigned cell = CellOf(color, kFineBits);
    const CellList list = fineCells_[cell].size != 0 ? fineCells_[cell] : BuildFineCell(cell);
    if (list.size == 1) return uint8_t(list.begin);
    const Candidate* candidate = finePool_.data() + list.begin;
    // Longer lists come in whole groups, so the loop runs a predictable
    // number of times and compiles to conditional moves.
    const Candidate* const end = candidate + list.size;
    int64_t best = INT64_MAX;
    do {
      for (int i = 0; i < kGroup; ++i) best = std::min(best, Key(candidate[i], color));
      candidate += kGroup;
    } while (candidate != end);
    return uint8_t(best & 0xFF);
  }

  // Find for `count` colours, into `indices`: what a row's run of pixels with
  // this range takes. Faster than Find one by one where most cells hold a
  // single candidate, as they do for short ranges.
  void FindAll(const Pixel64* colors, int count, uint8_t* indices);

 private:
  static constexpr int kCoarseBits = 4;  // 16 cells per axis
  static constexpr int kFineBits = 6;    // 64 cells per axis
  static constexpr int kGroup = 2;       // candidates scanned per step
  // Cell lists stop growing past this many candidates (8 MB); later cells
  // scan the whole range. Rendered frames stay far below it, but a palette
  // bunched in one corner gives far-away cells long lists.
  static constexpr std::size_t kMaxPoolSize = std::size_t(1) << 20;

  struct Candidate {
    int32_t weight;  // 128 |Q|^2
    uint8_t r, g, b, index;
  };
  // A cell's list: size candidates at finePool_[begin]. A single candidate
  // is kept in the cell itself, its index in `begin`.
  struct CellList {
    uint32_t begin;
    uint32_t size;  // 0: not built yet (a built list is never empty)
  };
  struct FreeCells {
    void operator()(CellList* cells) const { std::free(cells); }
  };

  static unsigned CellOf(const Pixel64& color, int bits) {
    const int shift = 16 - bits;
    return (unsigned(color.r >> shift) << (2 * bits)) | (unsigned(color.g >> shift) << bits) |
           unsigned(color.b >> shift);
  }
  // Orders candidates by distance, then by index: the least key wins.
  static int64_t Key(const Candidate& c, const Pixel64& color) {
    const int32_t score =
        c.weight - (c.r * int32_t(color.r) + c.g * int32_t(color.g) + c.b * int32_t(color.b));
    return int64_t(score) * 256 + c.index;
  }

  CellList BuildFineCell(unsigned cell);
  CellList CoarseCellAround(unsigned fineCell);
  // Leaves in kept_ the positions (in entries_) of those entries among
  // `positions` that can be nearest somewhere in the cell.
  void KeepPossiblyNearest(unsigned cell, int bits, const uint8_t* positions, std::size_t count);
  // Appends the entries at the positions in kept_ to finePool_ as one list.
  CellList AppendFineList();

  uint8_t from_;
  uint8_t to_;
  std::vector<Candidate> entries_;  // the range's distinct colours, in index order
  // Coarse lists: positions in entries_, only read to build fine lists.
  std::vector<CellList> coarseCells_;
  std::vector<uint8_t> coarsePool_;
  // Fine lists: the candidates themselves, what Find scans. Allocated zeroed
  // with calloc, so that untouched cells cost no memory where the system
  // hands out zero pages on demand.
  std::unique_ptr<CellList[], FreeCells> fineCells_;
  std::vector<Candidate> finePool_;
  CellList wholeRange_{0, 0};         // every entry as one list, at finePool_'s start
  std::vector<uint8_t> kept_;         // scratch: positions kept for the cell being built
  std::vector<uint8_t> withinBound_;  // scratch: positions that pass the distance bound
};

}  // namespace selvo
