#include "ui/palette_grid.h"

namespace selvo::ui {
namespace {

// Offsets in pixels: swatches are 6 x 6, columns 9 apart (3-pixel white gaps),
// rows 6 apart with no gap; the first swatch's top lies 164 above the bottom.
constexpr int kSwatchLeft = 28;
constexpr int kSwatchTopAboveBottom = 164;
constexpr int kSwatchSize = 6;
constexpr int kColumnPitch = 9;
constexpr int kRowPitch = 6;
constexpr int kHitLeft = 25;    // the gap left of column 0 belongs to it
constexpr int kHitRight = 168;  // inclusive: last pixel of column 15's swatch

int Column(int index) { return index / 16; }
int Row(int index) { return index % 16; }

}  // namespace

GridRect GridBackgroundRect(int clientBottom) {
  return {23, clientBottom - 168, 174, clientBottom - 64};
}

GridRect SwatchRect(int index, int clientBottom) {
  const int left = kSwatchLeft + kColumnPitch * Column(index);
  const int top = clientBottom - kSwatchTopAboveBottom + kRowPitch * Row(index);
  return {left, top, left + kSwatchSize, top + kSwatchSize};
}

GridRect CellFrameRect(int index, int clientBottom) {
  const GridRect s = SwatchRect(index, clientBottom);
  return {s.left - 1, s.top - 1, s.right + 1, s.bottom + 1};
}

std::optional<int> HitCell(int x, int y, int clientBottom) {
  const int top = clientBottom - kSwatchTopAboveBottom;
  const int bottom = top + 16 * kRowPitch - 1;  // inclusive
  if (x < kHitLeft || x > kHitRight || y < top || y > bottom) return std::nullopt;
  const int column = (x - kHitLeft) / kColumnPitch;
  const int row = (y - top) / kRowPitch;
  return column * 16 + row;
}

std::vector<GridShape> GridShapes(int clientBottom, const uint8_t palette[kPaletteSize],
                                  ColorRange range, int anchorIndex) {
  std::vector<GridShape> shapes;
  shapes.reserve(1 + kGridCells + kGridCells + 1);
  shapes.push_back({GridShape::kFill, GridBackgroundRect(clientBottom), 255, 255, 255});
  for (int i = 0; i < kGridCells; ++i) {
    const uint8_t* rgb = palette + 3 * i;
    shapes.push_back({GridShape::kFill, SwatchRect(i, clientBottom), rgb[0], rgb[1], rgb[2]});
  }
  for (int i = range.from; i <= range.to; ++i)
    shapes.push_back({GridShape::kFrame, CellFrameRect(i, clientBottom), 255, 0, 0});
  shapes.push_back({GridShape::kFrame, CellFrameRect(anchorIndex, clientBottom), 0, 0, 0});
  return shapes;
}

void StartPick(GridPickState& state, int id) {
  state.ChosenId = id;
  state.PickPending = 1;
}

ClickOutcome LeftClick(GridPickState& state, RendererConfig& config, int x, int y,
                       int clientBottom) {
  ClickOutcome outcome;
  const std::optional<int> cell = HitCell(x, y, clientBottom);
  if (!cell) return outcome;
  outcome.hit = true;
  if (state.PickPending != 0) {
    ColorRange& range = config.ranges[state.ChosenId];
    range.from = uint8_t(state.AnchorIndex);
    range.to = uint8_t(*cell);
    state.PickPending = 0;
    outcome.pickCompleted = true;
  } else {
    state.AnchorIndex = *cell;
  }
  return outcome;
}

void RightClick(GridPickState& state) { state.PickPending = 0; }

}  // namespace selvo::ui
