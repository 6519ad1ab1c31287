// What `selvo sheet` makes of a sequence of PCX frames: the grid of cells
// of the sprite sheet, the frames' durations, and the sheet's JSON in the
// hash format Aseprite's --data writes, which engines' importers read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/pcx/pcx_io.h"

namespace selvo {

// Cells the size of the largest frame, `columns` to a row, filled row by
// row in the frames' order.
struct SheetLayout {
  int columns = 1;
  int rows = 1;
  int cellWidth = 0;
  int cellHeight = 0;
  int Width() const { return columns * cellWidth; }
  int Height() const { return rows * cellHeight; }
  int CellX(int frame) const { return frame % columns * cellWidth; }
  int CellY(int frame) const { return frame / columns * cellHeight; }
};

// `columns` 0 asks for a near-square grid: the fewest columns whose square
// holds every frame (5 frames: 3 columns, 2 rows). More columns than
// frames are cut to the frames.
SheetLayout LayOutSheet(const std::vector<PcxImage>& frames, int columns);

// The sheet's index image: each frame at its cell's top-left, every other
// pixel `fill`. One frame in a layout of one cell is that frame padded to
// the cell, as an animation's frame.
std::vector<uint8_t> ComposeSheet(const std::vector<const PcxImage*>& frames,
                                  const SheetLayout& layout, uint8_t fill);

// How long each of `count` frames shows at `fps` frames a second, in units
// of 1 / `perSecond` s (100: a GIF's hundredths, 1000: milliseconds).
// Frame k ends at round((k + 1) x perSecond / fps), so where fps does not
// divide perSecond the rounding is carried over and every `fps` frames
// last exactly one second (12 fps in hundredths: 8, 9, 8, 8, 9, 8, ...).
std::vector<int> FrameDurations(int count, int fps, int perSecond);

// The frame as the JSON names it, its cell and how long it shows.
struct SheetEntry {
  std::string name;  // the frame's file name
  int x = 0, y = 0, width = 0, height = 0;
  int durationMs = 0;
};

// The JSON of a sheet: "frames" keyed by name with each one's rectangle,
// untrimmed and unrotated, and "meta" with the image's name (relative to
// the JSON's folder), format "I8" and size.
std::string SheetJson(const std::vector<SheetEntry>& entries, const std::string& image, int width,
                      int height);

}  // namespace selvo
