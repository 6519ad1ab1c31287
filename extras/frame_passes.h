// Transparency and outlines: passes over plain data (IDs, alpha, the index
// image) on top of the mapping. Precedence: a transparent pixel takes
// the transparent index whatever else applies; an outlined pixel takes its
// ID's outline index over what the mapping chose; every other pixel keeps
// the mapping's index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/map_pixel.h"
#include "core/renderer_config.h"
#include "extras/extras.h"

namespace selvo {

// A pixel is transparent when its 16-bit alpha is below ceil(threshold x
// 65535) (threshold 0.5: alpha up to 32767). 0, so no pixel, when
// transparency is off.
uint32_t TransparentBelow(const Transparency& transparency);

// The chosen transparent index, or ID 0's From.
uint8_t TransparentIndex(const Transparency& transparency, const RendererConfig& config);

// With transparency on, gives alpha 0 to the pixels whose ID is one of
// transparency.ids (`ids` and `pixels` hold `count` pixels), so that every
// extra sees them as transparent. Before the frame is rendered.
void ClearAlphaOfListedIds(const Transparency& transparency, const uint8_t* ids, std::size_t count,
                           Pixel64* pixels);
void ClearAlphaOfListedIds(const Transparency& transparency, const uint16_t* ids, std::size_t count,
                           Pixel64* pixels);

// Gives every pixel of a row whose alpha is below `below` the index
// `index`: in `indices`, and its r, g, b the entry's colour (bytes x 256),
// alpha kept.
void MarkTransparent(uint32_t below, uint8_t index, const uint8_t palette[kPaletteSize], int width,
                     Pixel64* pixels, uint8_t* indices);

// What the outline pass needs of the extras.
struct OutlinePlan {
  std::optional<uint8_t> index[kRangeCount];  // IDs 16 and above use ID 0's
  bool eightNeighbours = false;
  bool backgroundOnly = false;
  uint32_t transparentBelow = 0;

  OutlinePlan() = default;
  explicit OutlinePlan(const Extras& extras);
  bool Any() const;
};

// The outline rule. An opaque pixel P whose ID has an outline index takes
// it when one of its neighbours Q (left, right, above, below; with eight
// neighbours also the four diagonals) counts:
//  - Q is transparent, or Q's ID differs from P's;
//  - with backgroundOnly, only a transparent Q or a Q of ID 0 counts.
// IDs are compared as the channel gives them (objects 3 and 20 differ even
// though 20 uses ID 0's settings). Pixels outside the frame are not
// neighbours: the frame's edge draws no outline.
//
// Whether a pixel is outlined depends on IDs and alpha alone, never on the
// mapping or on other outlines. So a frame's outlines are found before its
// rows are mapped, and each row draws its own while it is in cache: drawn
// after the rows, the few outlined pixels of each row each cost a cache
// miss, which on a 1080p frame took longer than finding them.
class FrameOutlines {
 public:
  // The pixels of a frame the rule outlines: `ids` W x H in row order,
  // `pixels` the frame as rendered (only alpha is read). Replaces what was
  // found before. May throw std::bad_alloc.
  void Find(const OutlinePlan& plan, const uint8_t* ids, int width, int height,
            const Pixel64* pixels);
  void Find(const OutlinePlan& plan, const uint16_t* ids, int width, int height,
            const Pixel64* pixels);

  // Gives row y's outlined pixels their outline index and its colour (bytes
  // x 256, alpha kept); `pixels` and `indices` hold the row.
  void DrawRow(int y, const uint8_t palette[kPaletteSize], Pixel64* pixels, uint8_t* indices) const;

 private:
  struct Mark {
    uint32_t x;
    uint8_t index;
  };
  template <typename Id>
  void FindOf(const OutlinePlan& plan, const Id* ids, int width, int height, const Pixel64* pixels);
  template <typename Id, bool kTransparency>
  void FindWithKeys(const OutlinePlan& plan, const Id* ids, int width, int height,
                    const Pixel64* pixels);

  std::vector<uint32_t> rowEnds_{0};  // row y's marks are [rowEnds_[y], rowEnds_[y + 1])
  std::vector<Mark> marks_;
};

}  // namespace selvo
