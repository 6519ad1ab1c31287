// The setup dialog's palette grid without the window system: where the 256
// swatches and their frames lie, which cell a click hits, what a click or a
// pick button does to the picking state and the settings, and the list of
// rectangles one painting draws. The Win32 side only draws that list and
// changes cursors.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/renderer_config.h"

namespace selvo::ui {

// Right and bottom are exclusive. y grows downwards from the client area's
// top; the grid hangs at fixed pixel offsets above the client bottom, so
// every rectangle is computed from that bottom (the client height).
struct GridRect {
  int left, top, right, bottom;
  bool operator==(const GridRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

constexpr int kGridCells = 256;

// Palette index i sits in column i / 16 and row i % 16: the palette runs
// down the columns.
GridRect GridBackgroundRect(int clientBottom);
GridRect SwatchRect(int index, int clientBottom);
// The one-pixel outline around a swatch, used for range and anchor frames.
GridRect CellFrameRect(int index, int clientBottom);

// The palette index under a click (x, y in client pixels), or nothing when
// the click misses the grid. A column's zone includes the white gap to the
// left of its swatch.
std::optional<int> HitCell(int x, int y, int clientBottom);

// What one painting draws, in drawing order: the white background, the 256
// swatches, the red frames of the range From..To (none when From > To) and
// the black anchor frame last so that it lies on top.
struct GridShape {
  enum Kind { kFill, kFrame };
  Kind kind;
  GridRect rect;
  uint8_t red, green, blue;
};
std::vector<GridShape> GridShapes(int clientBottom, const uint8_t palette[kPaletteSize],
                                  ColorRange range, int anchorIndex);

// The picking state, one set for the whole module (it lives in the setup
// dialog's state and is reset each time the dialog opens).
struct GridPickState {
  int32_t AnchorIndex = 0;  // palette index framed in black
  int32_t ChosenId = 0;     // ID whose range is framed in red, 0..15
  int32_t PickPending = 0;  // 1 after a pick button, until a cell or a right click
};

// Pick button of ID `id` (0..15) pressed: the next cell click ends the range.
void StartPick(GridPickState& state, int id);

// A left click at (x, y). On a cell, either moves the anchor or, while a pick
// is pending, writes From = anchor and To = cell into the chosen ID's range
// of `config` at once. The caller repaints in every case.
struct ClickOutcome {
  bool hit = false;
  bool pickCompleted = false;  // spinners of ChosenId must show the new range
};
ClickOutcome LeftClick(GridPickState& state, RendererConfig& config, int x, int y,
                       int clientBottom);

// A right click abandons a pending pick; anchor and chosen ID stay.
void RightClick(GridPickState& state);

}  // namespace selvo::ui
