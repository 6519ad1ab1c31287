// Transparency and outlines: passes over plain data (IDs, alpha, the index
// image) on top of the mapped frame. Precedence: a transparent pixel takes
// the transparent index whatever else applies; an outlined pixel takes its
// ID's outline index over what the mapping chose; every other pixel keeps
// the mapping's index.
#pragma once

#include <cstdint>
#include <optional>

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
// neighbours: the frame's edge draws no outline. Whether a pixel is
// outlined depends on IDs and alpha only, never on other outlines.
//
// Over a whole frame: `ids` W x H in row order, `pixels` the mapped frame
// (alpha as rendered), `indices` its index image. Outlined pixels get the
// outline index and its colour (bytes x 256, alpha kept).
void DrawOutlines(const OutlinePlan& plan, const uint8_t* ids, int width, int height,
                  const uint8_t palette[kPaletteSize], Pixel64* pixels, uint8_t* indices);
void DrawOutlines(const OutlinePlan& plan, const uint16_t* ids, int width, int height,
                  const uint8_t palette[kPaletteSize], Pixel64* pixels, uint8_t* indices);

}  // namespace selvo
