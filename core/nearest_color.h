// The nearest palette entry within one range, fast and exact: the same index
// FindMostSimilarColor's linear search gives for every colour, ties included.
#pragma once

#include <cstdint>
#include <vector>

#include "core/map_pixel.h"
#include "core/renderer_config.h"

namespace selvo {

// Splits the colour cube into cells and keeps, per cell, the range's entries
// that can be nearest to some colour of that cell. A cell's list is built the
// first time a colour falls into it and kept for every later frame with the
// same palette and range, so a sequence pays for each cell once.
//
// Exactness. An entry can only be nearest somewhere in a cell if its least
// distance to the cell does not exceed the greatest distance of the entry
// that is best in the worst case; keeping every entry up to and including
// that bound keeps all entries that tie for nearest, and the list stays in
// index order, so the strict comparison picks the lowest index as the linear
// search does.
//
// Distances are compared as 128|Q|^2 - Q.p, with Q the palette bytes and p
// the 16-bit colour: the true squared distance |256 Q - p|^2 equals
// 512 (128|Q|^2 - Q.p) + |p|^2, so both order the entries identically and
// the short form fits 32 bits.
class NearestColorSearch {
 public:
  // Copies what it needs of the palette. A range with From >= To needs no
  // search: it answers From.
  NearestColorSearch(const uint8_t palette[kPaletteSize], uint8_t from, uint8_t to);

  uint8_t from() const { return from_; }
  uint8_t to() const { return to_; }

  // Not const: fills the colour's cell on first use. Never fails; a cell
  // whose list cannot be allocated scans the whole range instead.
  uint8_t Find(const Pixel64& color) {
    if (cells_.empty()) return from_;
    const unsigned cell = CellOf(color);
    if (cells_[cell].end == 0) BuildCell(cell);
    const Candidate* candidate = pool_.data() + cells_[cell].begin;
    const Candidate* const end = pool_.data() + cells_[cell].end;
    int32_t best = Score(*candidate, color);
    uint8_t index = candidate->index;
    for (++candidate; candidate != end; ++candidate) {
      const int32_t score = Score(*candidate, color);
      if (score < best) {  // strict: the lowest index wins a tie
        best = score;
        index = candidate->index;
      }
    }
    return index;
  }

 private:
  static constexpr int kCellBits = 5;  // 32 cells per axis, 2048 levels each
  static constexpr int kCellShift = 16 - kCellBits;

  struct Candidate {
    int32_t weight;  // 128 |Q|^2
    uint8_t r, g, b, index;
  };
  struct CellList {
    uint32_t begin = 0;
    uint32_t end = 0;  // 0: not built yet (a built list is never empty)
  };

  static unsigned CellOf(const Pixel64& color) {
    return (unsigned(color.r >> kCellShift) << (2 * kCellBits)) |
           (unsigned(color.g >> kCellShift) << kCellBits) |
           unsigned(color.b >> kCellShift);
  }
  static int32_t Score(const Candidate& c, const Pixel64& color) {
    return c.weight - (c.r * int32_t(color.r) + c.g * int32_t(color.g) +
                       c.b * int32_t(color.b));
  }
  void BuildCell(unsigned cell);

  uint8_t from_;
  uint8_t to_;
  uint32_t entryCount_ = 0;  // pool_[0, entryCount_): every distinct entry
  std::vector<CellList> cells_;
  std::vector<Candidate> pool_;
};

}  // namespace selvo
