#include "extras/frame_passes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/simd_clones.h"

namespace selvo {
namespace {

void SetColor(const uint8_t palette[kPaletteSize], uint8_t index, Pixel64& pixel) {
  const uint8_t* entry = palette + 3 * index;
  pixel.r = uint16_t(entry[0] * 256);
  pixel.g = uint16_t(entry[1] * 256);
  pixel.b = uint16_t(entry[2] * 256);
}

// A pixel's key for the neighbour tests: its ID, or with transparency on,
// one value more than any ID for a transparent pixel (so keys are IDs
// themselves without transparency, and one size wider with it). Each row
// of keys has one more key at either end, copying the edge pixel's: a
// neighbour outside the frame is then the pixel itself or one of its
// neighbours inside, which counts or not already, so the edge needs no test
// of its own. Rows above the first and below the last are the row itself,
// for the same reason.
template <typename Id, bool kTransparency>
struct KeyOf {
  using Type = Id;
};
template <>
struct KeyOf<uint8_t, true> {
  using Type = uint16_t;
};
template <>
struct KeyOf<uint16_t, true> {
  using Type = uint32_t;
};
template <typename Key>
constexpr Key kTransparent = Key(~Key(0));

template <typename Id, typename Key>
SELVO_SIMD_CLONES void FillKeys(const Id* ids, const Pixel64* pixels, uint32_t transparentBelow,
                                int width, Key* keys) {
  if (sizeof(Key) == sizeof(Id)) {
    std::memcpy(keys + 1, ids, width * sizeof(Id));
  } else {
    for (int x = 0; x < width; ++x)
      keys[x + 1] = pixels[x].a < transparentBelow ? kTransparent<Key> : Key(ids[x]);
  }
  keys[0] = keys[1];
  keys[width + 1] = keys[width];
}

// Whether neighbour key q counts for a pixel of key p.
template <typename Key, bool kBackgroundOnly, bool kTransparency>
inline bool Counts(Key q, Key p) {
  if (!kBackgroundOnly) return q != p;
  return (q != p) & ((q == 0) | (kTransparency & (q == kTransparent<Key>)));
}

// Marks in `edge` the pixels of a row that have a neighbour that counts,
// in a loop without branches that the compiler vectorizes.
template <typename Key, bool kEight, bool kBackgroundOnly, bool kTransparency>
SELVO_SIMD_CLONES void MarkEdges(const Key* above, const Key* row, const Key* below, int width,
                                 uint8_t* edge) {
  constexpr auto counts = Counts<Key, kBackgroundOnly, kTransparency>;
  for (int x = 0; x < width; ++x) {
    const Key p = row[x + 1];
    bool any = counts(row[x], p) | counts(row[x + 2], p) | counts(above[x + 1], p) |
               counts(below[x + 1], p);
    if (kEight)
      any = any | counts(above[x], p) | counts(above[x + 2], p) | counts(below[x], p) |
            counts(below[x + 2], p);
    edge[x] = any;
  }
}

// Edge marks are looked at in blocks of 64: eight words ORed, no branch
// until the block is done.
constexpr int kBlock = 64;
inline bool AnyMarked(const uint8_t* marks) {
  uint64_t any = 0;
  for (int i = 0; i < kBlock; i += 8) {
    uint64_t word;
    std::memcpy(&word, marks + i, sizeof word);
    any |= word;
  }
  return any != 0;
}

template <typename Key, bool kTransparency>
auto MarkEdgesFor(const OutlinePlan& plan) {
  if (plan.eightNeighbours)
    return plan.backgroundOnly ? MarkEdges<Key, true, true, kTransparency>
                               : MarkEdges<Key, true, false, kTransparency>;
  return plan.backgroundOnly ? MarkEdges<Key, false, true, kTransparency>
                             : MarkEdges<Key, false, false, kTransparency>;
}

}  // namespace

// Finds, row by row: the keys of rows y - 1, y and y + 1 in turn, the edge
// marks of row y, and of those the pixels the rule outlines.
template <typename Id, bool kTransparency>
void FrameOutlines::FindWithKeys(const OutlinePlan& plan, const Id* ids, int width, int height,
                                 const Pixel64* pixels) {
  using Key = typename KeyOf<Id, kTransparency>::Type;
  const auto markEdges = MarkEdgesFor<Key, kTransparency>(plan);
  const std::size_t stride = std::size_t(width) + 2;
  std::vector<Key> keys(3 * stride);
  std::vector<uint8_t> edge(std::size_t(width) + kBlock, 0);
  const auto keysOf = [&](int y) { return keys.data() + (y % 3) * stride; };
  const auto fill = [&](int y) {
    const std::size_t start = std::size_t(y) * width;
    FillKeys(ids + start, pixels + start, plan.transparentBelow, width, keysOf(y));
  };
  fill(0);
  for (int y = 0; y < height; ++y) {
    if (y + 1 < height) fill(y + 1);
    const Key* row = keysOf(y);
    markEdges(y > 0 ? keysOf(y - 1) : row, row, y + 1 < height ? keysOf(y + 1) : row, width,
              edge.data());
    // Edges are few: skip 64 pixels at a time where none is marked, then
    // visit the marked ones by their set bits (a mark is the byte 1).
    for (int block = 0; block < width; block += kBlock) {
      if (!AnyMarked(edge.data() + block)) continue;
      for (int word = block; word < std::min(width, block + kBlock); word += 8) {
        uint64_t marked;
        std::memcpy(&marked, edge.data() + word, sizeof marked);
        for (; marked != 0; marked &= marked - 1) {
          const int x = word + __builtin_ctzll(marked) / 8;
          const Key key = row[x + 1];
          if (kTransparency && key == kTransparent<Key>) continue;
          const std::optional<uint8_t>& outline = plan.index[key < kRangeCount ? key : 0];
          if (outline) marks_.push_back(Mark{uint32_t(x), *outline});
        }
      }
    }
    rowEnds_.push_back(uint32_t(marks_.size()));
  }
}

template <typename Id>
void FrameOutlines::FindOf(const OutlinePlan& plan, const Id* ids, int width, int height,
                           const Pixel64* pixels) {
  rowEnds_.assign(1, 0);
  marks_.clear();
  if (!plan.Any() || width <= 0 || height <= 0) return;
  if (plan.transparentBelow == 0) FindWithKeys<Id, false>(plan, ids, width, height, pixels);
  else FindWithKeys<Id, true>(plan, ids, width, height, pixels);
}

void FrameOutlines::Find(const OutlinePlan& plan, const uint8_t* ids, int width, int height,
                         const Pixel64* pixels) {
  FindOf(plan, ids, width, height, pixels);
}

void FrameOutlines::Find(const OutlinePlan& plan, const uint16_t* ids, int width, int height,
                         const Pixel64* pixels) {
  FindOf(plan, ids, width, height, pixels);
}

void FrameOutlines::DrawRow(int y, const uint8_t palette[kPaletteSize], Pixel64* pixels,
                            uint8_t* indices) const {
  if (std::size_t(y) + 1 >= rowEnds_.size()) return;
  for (uint32_t m = rowEnds_[y]; m < rowEnds_[y + 1]; ++m) {
    indices[marks_[m].x] = marks_[m].index;
    SetColor(palette, marks_[m].index, pixels[marks_[m].x]);
  }
}

uint32_t TransparentBelow(const Transparency& transparency) {
  if (!transparency.enabled) return 0;
  return uint32_t(std::ceil(transparency.alphaThreshold * 65535.0));
}

uint8_t TransparentIndex(const Transparency& transparency, const RendererConfig& config) {
  return transparency.index ? *transparency.index : config.ranges[0].from;
}

namespace {

template <typename Id>
void ClearAlphaOf(const Transparency& transparency, const Id* ids, std::size_t count,
                  Pixel64* pixels) {
  if (!transparency.enabled || transparency.ids.empty()) return;
  const std::vector<uint16_t>& listed = transparency.ids;
  for (std::size_t i = 0; i < count; ++i)
    if (std::binary_search(listed.begin(), listed.end(), uint16_t(ids[i]))) pixels[i].a = 0;
}

}  // namespace

void ClearAlphaOfListedIds(const Transparency& transparency, const uint8_t* ids, std::size_t count,
                           Pixel64* pixels) {
  ClearAlphaOf(transparency, ids, count, pixels);
}

void ClearAlphaOfListedIds(const Transparency& transparency, const uint16_t* ids, std::size_t count,
                           Pixel64* pixels) {
  ClearAlphaOf(transparency, ids, count, pixels);
}

void MarkTransparent(uint32_t below, uint8_t index, const uint8_t palette[kPaletteSize], int width,
                     Pixel64* pixels, uint8_t* indices) {
  for (int x = 0; x < width; ++x) {
    if (pixels[x].a >= below) continue;
    indices[x] = index;
    SetColor(palette, index, pixels[x]);
  }
}

OutlinePlan::OutlinePlan(const Extras& extras)
    : eightNeighbours(extras.outlines.eightNeighbours),
      backgroundOnly(extras.outlines.backgroundOnly),
      transparentBelow(TransparentBelow(extras.transparency)) {
  std::copy(std::begin(extras.outlines.index), std::end(extras.outlines.index), index);
}

bool OutlinePlan::Any() const {
  return std::any_of(std::begin(index), std::end(index), [](const auto& i) { return bool(i); });
}

}  // namespace selvo
