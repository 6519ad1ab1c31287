// A picture of a settings block, what an artist looks at instead of 16 rows
// of numbers: the palette laid out as the setup dialog shows it (entry i in
// column i / 16, row i % 16), each ID's band outlined in a colour of its own
// and labelled with its IDs, and a legend of the method, the source channel,
// the output name and every ID's band and dither.
#pragma once

#include <string>

#include "core/renderer_config.h"
#include "imageio/image.h"

namespace selvo {

// Where the swatches lie: cell (column, row) spans kCellPitch pixels from
// (kGridLeft + column * kCellPitch, kGridTop + row * kCellPitch); its swatch
// is the inner kSwatchSize square, kSwatchInset pixels from the cell's edge.
// A band's outline takes the outer kOutlineWidth pixels of its cells.
constexpr int kGridLeft = 30;
constexpr int kGridTop = 26;
constexpr int kCellPitch = 28;
constexpr int kSwatchInset = 4;
constexpr int kSwatchSize = 20;
constexpr int kOutlineWidth = 2;

// The colour that outlines the band of `id`, shared with the legend.
Pixel64 BandColor(int id);

ColorImage DrawSettingsPicture(const RendererConfig& config);

// The picture as a PNG file.
std::string SaveSettingsPicture(const std::string& path, const RendererConfig& config);

}  // namespace selvo
