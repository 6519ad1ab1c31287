// Extras: what Selvo draws beyond the filter's own rules (transparency,
// outlines from the ID pass, ordered dithers, perceptual matching). They are
// kept beside the 1084-byte settings block, in a small JSON document
// (extras/extras_document.h), never in it: the block and the module that
// stores it stay exactly as they are, and the module never links this
// library. Every extra is off until chosen; with none chosen a frame comes
// out exactly as the filter maps it.
//
// How the command hooks them in, without the core depending on this folder:
//  - Rows. Each thread's RowLane maps its rows with an ExtrasMapper
//    (extras/extras_mapper.h) prepared from the RendererConfig and the
//    Extras, instead of a bare PaletteMapper; ExtrasMapper::MapRow has
//    PaletteMapper::MapRow's signature and hands the whole row to one when
//    nothing it maps is chosen. The frame driver therefore only needs its
//    row mapper to be chosen by the caller (an interface with MapRow), not
//    to know the extras.
//  - Before the rows. Outlines look at the rows above and below, but only
//    at IDs and alpha, never at the mapping: when HasOutlines(), the caller
//    finds a frame's outlines once (ExtrasMapper::FindOutlines into one
//    FrameOutlines), hands them to every thread's mapper
//    (DrawOutlinesFrom), and each row draws its own as it is mapped (a hook
//    the driver calls between preparing its lanes and its row loop). So no
//    pass runs after the rows, and nothing changes between the last row
//    and WritePcx. Frames handed out a row at a time (the module's) never
//    get extras, so finding outlines may assume a frame in memory.
//  - Settings. `selvo render --extras FILE` reads the document with
//    ReadExtrasFile; `selvo config` creates, shows and edits it with
//    ParseExtras, ExtrasToJson and WriteExtrasFile.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "core/renderer_config.h"

namespace selvo {

// Per-ID dither beyond the filter's Dither flag.
enum class OrderedDither : uint8_t {
  kNone,    // the filter's own rule: its Dither flag decides
  kBayer4,  // 4 x 4 threshold pattern, 16 levels between two entries
  kBayer8,  // 8 x 8 threshold pattern, 64 levels
};

// How "most similar colour" measures distance.
enum class ColorMatching : uint8_t {
  kRgb,    // the filter's: 16-bit levels against palette bytes x 256
  kOklab,  // perceptual: OKLab coordinates (extras/oklab.h)
};

struct Transparency {
  bool enabled = false;
  // Pixels whose alpha (0..1, the 16-bit level / 65535) is below this take
  // the transparent index, whatever their ID.
  double alphaThreshold = 0.5;
  std::optional<uint8_t> index;  // unset: ID 0's From
  // IDs, as the channel gives them, whose pixels count as alpha 0: the
  // background of a render without alpha. Ascending, each once.
  std::vector<uint16_t> ids;
};

struct Outlines {
  // Per ID 0..15: the index its edge pixels take; unset: no outline.
  std::optional<uint8_t> index[kRangeCount];
  bool eightNeighbours = false;  // 4-neighbours unless set
  // Only against ID 0 or transparent pixels, not between two objects.
  bool backgroundOnly = false;
};

struct Extras {
  Transparency transparency;
  Outlines outlines;
  OrderedDither dither[kRangeCount] = {};
  ColorMatching matching = ColorMatching::kRgb;
};

// Whether an extra is chosen that can change a frame's indices.
inline bool AnyExtraChosen(const Extras& extras) {
  const auto& outline = extras.outlines.index;
  const auto& dither = extras.dither;
  return extras.transparency.enabled || extras.matching != ColorMatching::kRgb ||
         std::any_of(std::begin(outline), std::end(outline),
                     [](const auto& i) { return bool(i); }) ||
         std::any_of(std::begin(dither), std::end(dither),
                     [](OrderedDither d) { return d != OrderedDither::kNone; });
}

}  // namespace selvo
