#include "ui/palette_grid.h"

#include <gtest/gtest.h>

namespace selvo::ui {
namespace {

constexpr int B = 300;  // any client height; everything hangs from it

TEST(PaletteGridGeometry, RectanglesSitAtTheirPixelsAboveTheClientBottom) {
  EXPECT_EQ(GridBackgroundRect(B), (GridRect{23, B - 168, 174, B - 64}));
  EXPECT_EQ(SwatchRect(0, B), (GridRect{28, B - 164, 34, B - 158}));
  EXPECT_EQ(SwatchRect(1, B), (GridRect{28, B - 158, 34, B - 152}));    // next row down
  EXPECT_EQ(SwatchRect(16, B), (GridRect{37, B - 164, 43, B - 158}));   // next column
  EXPECT_EQ(SwatchRect(255, B), (GridRect{163, B - 74, 169, B - 68}));  // bottom right
  EXPECT_EQ(CellFrameRect(0, B), (GridRect{27, B - 165, 35, B - 157}));
  EXPECT_EQ(CellFrameRect(255, B), (GridRect{162, B - 75, 170, B - 67}));
  // A different client height moves the grid with the bottom edge only.
  EXPECT_EQ(SwatchRect(37, 500).top - SwatchRect(37, B).top, 200);
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
