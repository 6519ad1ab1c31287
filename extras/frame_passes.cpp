#include "extras/frame_passes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace selvo {
namespace {

void SetColor(const uint8_t palette[kPaletteSize], uint8_t index, Pixel64& pixel) {
  const uint8_t* entry = palette + 3 * index;
  pixel.r = uint16_t(entry[0] * 256);
  pixel.g = uint16_t(entry[1] * 256);
  pixel.b = uint16_t(entry[2] * 256);
}

// A pixel's key for the neighbour tests: its ID, or kTransparent (no ID
// reaches it). Each row of keys has one more key at either end, copying the
// edge pixel's: a neighbour outside the frame is then the pixel itself or
// one of its neighbours inside, which counts or not already, so the edge
// needs no test of its own. Rows above the first and below the last are the
// row itself, for the same reason.
constexpr uint32_t kTransparent = 0xFFFFFFFF;

template <typename Id>
void FillKeys(const Id* ids, const Pixel64* pixels, uint32_t transparentBelow, int width,
              uint32_t* keys) {
  if (transparentBelow == 0) {
    for (int x = 0; x < width; ++x) keys[x + 1] = ids[x];
  } else {
    for (int x = 0; x < width; ++x)
      keys[x + 1] = pixels[x].a < transparentBelow ? kTransparent : uint32_t(ids[x]);
  }
  keys[0] = keys[1];
  keys[width + 1] = keys[width];
}

// Whether neighbour key q counts for a pixel of key p.
template <bool kBackgroundOnly>
inline bool Counts(uint32_t q, uint32_t p) {
  if (kBackgroundOnly) return (q != p) & ((q == 0) | (q == kTransparent));
  return q != p;
}

// Marks in `edge` the pixels of a row that have a neighbour that counts,
// in a loop without branches that the compiler vectorizes.
template <bool kEight, bool kBackgroundOnly>
void MarkEdges(const uint32_t* above, const uint32_t* row, const uint32_t* below, int width,
               uint8_t* edge) {
  for (int x = 0; x < width; ++x) {
    const uint32_t p = row[x + 1];
    bool counts = Counts<kBackgroundOnly>(row[x], p) | Counts<kBackgroundOnly>(row[x + 2], p) |
                  Counts<kBackgroundOnly>(above[x + 1], p) |
                  Counts<kBackgroundOnly>(below[x + 1], p);
    if (kEight)
      counts = counts | Counts<kBackgroundOnly>(above[x], p) |
               Counts<kBackgroundOnly>(above[x + 2], p) | Counts<kBackgroundOnly>(below[x], p) |
               Counts<kBackgroundOnly>(below[x + 2], p);
    edge[x] = counts;
  }
}

using MarkEdgesFunction = void (*)(const uint32_t*, const uint32_t*, const uint32_t*, int,
                                   uint8_t*);

MarkEdgesFunction MarkEdgesFor(const OutlinePlan& plan) {
  if (plan.eightNeighbours)
    return plan.backgroundOnly ? MarkEdges<true, true> : MarkEdges<true, false>;
  return plan.backgroundOnly ? MarkEdges<false, true> : MarkEdges<false, false>;
}

template <typename Id>
void DrawOutlinesOf(const OutlinePlan& plan, const Id* ids, int width, int height,
                    const uint8_t palette[kPaletteSize], Pixel64* pixels, uint8_t* indices) {
  if (!plan.Any() || width <= 0 || height <= 0) return;
  const MarkEdgesFunction markEdges = MarkEdgesFor(plan);
  const std::size_t stride = std::size_t(width) + 2;
  // Keys of rows y - 1, y and y + 1, in turn.
  std::vector<uint32_t> keys(3 * stride);
  std::vector<uint8_t> edge(std::size_t(width) + 8, 0);
  const auto keysOf = [&](int y) { return keys.data() + (y % 3) * stride; };
  const auto fill = [&](int y) {
    const std::size_t start = std::size_t(y) * width;
    FillKeys(ids + start, pixels + start, plan.transparentBelow, width, keysOf(y));
  };
  fill(0);
  for (int y = 0; y < height; ++y) {
    if (y + 1 < height) fill(y + 1);
    const uint32_t* row = keysOf(y);
    markEdges(y > 0 ? keysOf(y - 1) : row, row, y + 1 < height ? keysOf(y + 1) : row, width,
              edge.data());
    // Edges are few: skip eight pixels at a time.
    for (int x = 0; x < width; x += 8) {
      uint64_t any;
      std::memcpy(&any, edge.data() + x, sizeof any);
      if (any == 0) continue;
      for (int i = x; i < std::min(width, x + 8); ++i) {
        const uint32_t key = row[i + 1];
        if (!edge[i] || key == kTransparent) continue;
        const std::optional<uint8_t>& outline = plan.index[key < kRangeCount ? key : 0];
        if (!outline) continue;
        const std::size_t at = std::size_t(y) * width + i;
        indices[at] = *outline;
        SetColor(palette, *outline, pixels[at]);
      }
    }
  }
}

}  // namespace

uint32_t TransparentBelow(const Transparency& transparency) {
  if (!transparency.enabled) return 0;
  return uint32_t(std::ceil(transparency.alphaThreshold * 65535.0));
}

uint8_t TransparentIndex(const Transparency& transparency, const RendererConfig& config) {
  return transparency.index ? *transparency.index : config.ranges[0].from;
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

void DrawOutlines(const OutlinePlan& plan, const uint8_t* ids, int width, int height,
                  const uint8_t palette[kPaletteSize], Pixel64* pixels, uint8_t* indices) {
  DrawOutlinesOf(plan, ids, width, height, palette, pixels, indices);
}

void DrawOutlines(const OutlinePlan& plan, const uint16_t* ids, int width, int height,
                  const uint8_t palette[kPaletteSize], Pixel64* pixels, uint8_t* indices) {
  DrawOutlinesOf(plan, ids, width, height, palette, pixels, indices);
}

}  // namespace selvo
