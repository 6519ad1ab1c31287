#include "ui/palette_grid.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace selvo::ui {
namespace {

constexpr int B = 300;  // any client height; everything hangs from it

int Width(const GridRect& r) { return r.right - r.left; }
int Height(const GridRect& r) { return r.bottom - r.top; }
bool Inside(const GridRect& inner, const GridRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The palette runs down the columns: 6 x 6 swatches, touching within a
// column, with a 3-pixel gap between columns.
TEST(PaletteGridGeometry, SwatchesRunDownSixteenColumnsOfSixteen) {
  for (int i = 0; i < kGridCells; ++i) {
    const GridRect s = SwatchRect(i, B);
    EXPECT_EQ(Width(s), 6) << i;
    EXPECT_EQ(Height(s), 6) << i;
    if (i % 16 != 15) {
      const GridRect below = SwatchRect(i + 1, B);
      EXPECT_EQ(below.left, s.left) << i;
      EXPECT_EQ(below.top, s.bottom) << i;
    }
    if (i < kGridCells - 16) {
      const GridRect right = SwatchRect(i + 16, B);
      EXPECT_EQ(right.top, s.top) << i;
      EXPECT_EQ(right.left - s.right, 3) << i;
    }
  }
}

// The grid is fixed in pixels from the client area's left and bottom edges:
// the white background spans x 23..173 and y B - 168..B - 65, the swatches
// together x 28..168 and y B - 164..B - 69 (all inclusive).
TEST(PaletteGridGeometry, GridSitsAtItsPixelsAboveTheClientBottom) {
  for (int bottom : {B, 500}) {
    GridRect cover = SwatchRect(0, bottom);
    for (int i = 1; i < kGridCells; ++i) {
      const GridRect s = SwatchRect(i, bottom);
      cover = {std::min(cover.left, s.left), std::min(cover.top, s.top),
               std::max(cover.right, s.right), std::max(cover.bottom, s.bottom)};
    }
    EXPECT_EQ(cover, (GridRect{28, bottom - 164, 168 + 1, bottom - 69 + 1})) << bottom;
    EXPECT_EQ(GridBackgroundRect(bottom), (GridRect{23, bottom - 168, 173 + 1, bottom - 65 + 1}))
        << bottom;
  }
}

// Frames are one-pixel outlines around their swatch; every frame and swatch
// lies on the white background, so no frame line is drawn over the dialog's
// face.
TEST(PaletteGridGeometry, FramesOutlineTheirSwatchOnTheWhiteBackground) {
  const GridRect background = GridBackgroundRect(B);
  for (int i = 0; i < kGridCells; ++i) {
    const GridRect s = SwatchRect(i, B);
    EXPECT_EQ(CellFrameRect(i, B), (GridRect{s.left - 1, s.top - 1, s.right + 1, s.bottom + 1}))
        << i;
    EXPECT_TRUE(Inside(CellFrameRect(i, B), background)) << i;
  }
}

// Whatever the swatches' arithmetic, a click on any pixel of a swatch picks
// that swatch's palette index.
TEST(PaletteGridHitTest, EveryPixelOfASwatchHitsItsIndex) {
  for (int i = 0; i < kGridCells; ++i) {
    const GridRect s = SwatchRect(i, B);
    for (int y = s.top; y < s.bottom; ++y)
      for (int x = s.left; x < s.right; ++x) EXPECT_EQ(HitCell(x, y, B), i) << x << ", " << y;
  }
}

TEST(PaletteGridHitTest, ColumnZonesIncludeTheGapToTheirLeft) {
  EXPECT_EQ(HitCell(24, B - 164, B), std::nullopt);
  EXPECT_EQ(HitCell(25, B - 164, B), 0);
  EXPECT_EQ(HitCell(26, B - 164, B), 0);
  EXPECT_EQ(HitCell(27, B - 164, B), 0);
  EXPECT_EQ(HitCell(33, B - 164, B), 0);
  EXPECT_EQ(HitCell(34, B - 164, B), 16);
  EXPECT_EQ(HitCell(168, B - 164, B), 240);
  EXPECT_EQ(HitCell(169, B - 164, B), std::nullopt);
}

TEST(PaletteGridHitTest, RowZonesAreSixPixelsWithoutGaps) {
  EXPECT_EQ(HitCell(30, B - 165, B), std::nullopt);
  EXPECT_EQ(HitCell(30, B - 159, B), 0);
  EXPECT_EQ(HitCell(30, B - 158, B), 1);
  EXPECT_EQ(HitCell(30, B - 69, B), 15);
  EXPECT_EQ(HitCell(30, B - 68, B), std::nullopt);
  EXPECT_EQ(HitCell(168, B - 69, B), 255);
}

TEST(PaletteGridHitTest, ClicksFarOutsideMissAndSmallClientAreasCount) {
  EXPECT_EQ(HitCell(0, 0, B), std::nullopt);
  EXPECT_EQ(HitCell(65535, 65535, B), std::nullopt);
  // On a client area 100 high the grid's top rows lie above the window.
  EXPECT_EQ(HitCell(30, 0, 100), 10);
  EXPECT_EQ(HitCell(30, 31, 100), 15);
  EXPECT_EQ(HitCell(30, 32, 100), std::nullopt);
}

class GridShapesTest : public ::testing::Test {
 protected:
  GridShapesTest() {
    for (int i = 0; i < kGridCells; ++i) {
      palette[3 * i] = uint8_t(i);
      palette[3 * i + 1] = uint8_t(255 - i);
      palette[3 * i + 2] = uint8_t(i * 7);
    }
  }
  uint8_t palette[kPaletteSize];
};

TEST_F(GridShapesTest, DrawsBackgroundThenSwatchesThenRangeThenAnchor) {
  const auto shapes = GridShapes(B, palette, ColorRange{3, 5, 0}, 200);
  ASSERT_EQ(shapes.size(), 1u + 256u + 3u + 1u);
  EXPECT_EQ(shapes[0].kind, GridShape::kFill);
  EXPECT_EQ(shapes[0].rect, GridBackgroundRect(B));
  EXPECT_EQ((std::tuple(shapes[0].red, shapes[0].green, shapes[0].blue)),
            std::tuple(255, 255, 255));
  const GridShape& swatch37 = shapes[1 + 37];
  EXPECT_EQ(swatch37.kind, GridShape::kFill);
  EXPECT_EQ(swatch37.rect, SwatchRect(37, B));
  EXPECT_EQ((std::tuple(swatch37.red, swatch37.green, swatch37.blue)),
            std::tuple(37, 218, 259 % 256));
  for (int k = 0; k < 3; ++k) {
    const GridShape& frame = shapes[257 + k];
    EXPECT_EQ(frame.kind, GridShape::kFrame);
    EXPECT_EQ(frame.rect, CellFrameRect(3 + k, B));
    EXPECT_EQ((std::tuple(frame.red, frame.green, frame.blue)), std::tuple(255, 0, 0));
  }
  const GridShape& anchor = shapes.back();
  EXPECT_EQ(anchor.kind, GridShape::kFrame);
  EXPECT_EQ(anchor.rect, CellFrameRect(200, B));
  EXPECT_EQ((std::tuple(anchor.red, anchor.green, anchor.blue)), std::tuple(0, 0, 0));
}

TEST_F(GridShapesTest, RangeEndsAreInclusiveAndAReversedRangeDrawsNoFrame) {
  EXPECT_EQ(GridShapes(B, palette, ColorRange{7, 7, 0}, 0).size(), 259u);
  EXPECT_EQ(GridShapes(B, palette, ColorRange{0, 255, 0}, 0).size(), 514u);
  EXPECT_EQ(GridShapes(B, palette, ColorRange{9, 8, 1}, 0).size(), 258u);
}

class GridPickTest : public ::testing::Test {
 protected:
  // Centre of the swatch of `index`.
  ClickOutcome ClickCell(int index) {
    const GridRect s = SwatchRect(index, B);
    return LeftClick(state, config, s.left + 2, s.top + 2, B);
  }
  GridPickState state;
  RendererConfig config;
};

TEST_F(GridPickTest, ClickWithoutPickMovesOnlyTheAnchor) {
  const RendererConfig before = config;
  const ClickOutcome outcome = ClickCell(16);
  EXPECT_TRUE(outcome.hit);
  EXPECT_FALSE(outcome.pickCompleted);
  EXPECT_EQ(state.AnchorIndex, 16);
  EXPECT_EQ(state.PickPending, 0);
  for (int id = 0; id < kRangeCount; ++id) {
    EXPECT_EQ(config.ranges[id].from, before.ranges[id].from);
    EXPECT_EQ(config.ranges[id].to, before.ranges[id].to);
  }
}

TEST_F(GridPickTest, PickWritesAnchorAndCellIntoTheChosenIdAndKeepsTheAnchor) {
  config.ranges[4] = ColorRange{1, 2, 9};
  ClickCell(20);
  StartPick(state, 4);
  EXPECT_EQ(state.ChosenId, 4);
  EXPECT_EQ(state.PickPending, 1);
  const ClickOutcome outcome = ClickCell(100);
  EXPECT_TRUE(outcome.pickCompleted);
  EXPECT_EQ(config.ranges[4].from, 20);
  EXPECT_EQ(config.ranges[4].to, 100);
  EXPECT_EQ(config.ranges[4].dither, 9);
  EXPECT_EQ(state.AnchorIndex, 20);
  EXPECT_EQ(state.PickPending, 0);
  // The same anchor starts the next ID's range.
  StartPick(state, 5);
  ClickCell(30);
  EXPECT_EQ(config.ranges[5].from, 20);
  EXPECT_EQ(config.ranges[5].to, 30);
}

TEST_F(GridPickTest, PickWithoutAnchorClickStartsAtZeroAndMayRunBackwards) {
  StartPick(state, 2);
  ClickCell(255);
  EXPECT_EQ(config.ranges[2].from, 0);
  EXPECT_EQ(config.ranges[2].to, 255);
  ClickCell(200);  // anchor
  StartPick(state, 3);
  ClickCell(10);
  EXPECT_EQ(config.ranges[3].from, 200);
  EXPECT_EQ(config.ranges[3].to, 10);
}

TEST_F(GridPickTest, OnlyTheLastPressedPickButtonCounts) {
  config.ranges[6] = ColorRange{50, 60, 0};
  StartPick(state, 6);
  StartPick(state, 7);
  ClickCell(12);
  EXPECT_EQ(config.ranges[6].from, 50);
  EXPECT_EQ(config.ranges[6].to, 60);
  EXPECT_EQ(config.ranges[7].from, 0);
  EXPECT_EQ(config.ranges[7].to, 12);
}

TEST_F(GridPickTest, RightClickCancelsThePickAndTheNextClickMovesTheAnchor) {
  config.ranges[1] = ColorRange{5, 6, 0};
  StartPick(state, 1);
  RightClick(state);
  EXPECT_EQ(state.PickPending, 0);
  EXPECT_EQ(state.ChosenId, 1);
  const ClickOutcome outcome = ClickCell(77);
  EXPECT_FALSE(outcome.pickCompleted);
  EXPECT_EQ(state.AnchorIndex, 77);
  EXPECT_EQ(config.ranges[1].from, 5);
  EXPECT_EQ(config.ranges[1].to, 6);
}

TEST_F(GridPickTest, AMissChangesNothingEvenWhilePicking) {
  StartPick(state, 9);
  const ClickOutcome outcome = LeftClick(state, config, 169, B - 100, B);
  EXPECT_FALSE(outcome.hit);
  EXPECT_FALSE(outcome.pickCompleted);
  EXPECT_EQ(state.PickPending, 1);
  EXPECT_EQ(state.AnchorIndex, 0);
}

}  // namespace
}  // namespace selvo::ui
