// The picture of a settings block: swatches where the setup dialog puts
// them, band outlines along the band's edge, and the font it is labelled in.
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/config/bitmap_font.h"
#include "cli/config/settings_picture.h"
#include "demo/demo_scene.h"
#include "imageio/png/png_io.h"

namespace selvo {
namespace {

bool Same(const Pixel64& a, const Pixel64& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

Pixel64 At(const ColorImage& image, int x, int y) {
  return image.pixels[std::size_t(y) * image.width + x];
}

// Cell (column, row) of the grid, from its top-left pixel.
int CellLeft(int column) { return kGridLeft + column * kCellPitch; }
int CellTop(int row) { return kGridTop + row * kCellPitch; }

RendererConfig NoBands() {
  RendererConfig config;
  for (ColorRange& range : config.ranges) range = ColorRange{1, 0, 0};  // From > To: none
  return config;
}

TEST(SettingsPicture, EntryIIsInColumnIDiv16AndRowIMod16) {
  RendererConfig config = NoBands();
  for (int i = 0; i < 256; ++i) {  // every entry a colour of its own
    config.palette[3 * i] = uint8_t(i);
    config.palette[3 * i + 1] = uint8_t(255 - i);
    config.palette[3 * i + 2] = uint8_t(i * 7);
  }
  const ColorImage image = DrawSettingsPicture(config);
  for (int i = 0; i < 256; ++i) {
    const Pixel64 swatch{uint16_t(i * 257), uint16_t((255 - i) * 257),
                         uint16_t(uint8_t(i * 7) * 257), 65535};
    const int left = CellLeft(i / 16) + kSwatchInset, top = CellTop(i % 16) + kSwatchInset;
    for (const int dx : {0, kSwatchSize - 1})
      for (const int dy : {0, kSwatchSize - 1})
        EXPECT_TRUE(Same(At(image, left + dx, top + dy), swatch)) << i;
  }
}

// Band 14..33 covers rows 14 and 15 of column 0, all of column 1 and rows 0
// and 1 of column 2: a staircase whose outline turns inwards twice.
TEST(SettingsPicture, ABandIsOutlinedAlongItsEdgeOnly) {
  RendererConfig config = NoBands();
  std::fill(config.palette, config.palette + 768, 0);  // no swatch shares the outline's colour
  config.ranges[3] = ColorRange{14, 33, 0};
  const ColorImage image = DrawSettingsPicture(config);
  const Pixel64 outline = BandColor(3);
  const auto outlined = [&](int x, int y) { return Same(At(image, x, y), outline); };
  const int mid = kCellPitch / 2;
  // Outer edges of cells at the band's edge.
  EXPECT_TRUE(outlined(CellLeft(0) + mid, CellTop(14)));                  // above entry 14
  EXPECT_TRUE(outlined(CellLeft(0), CellTop(15) + mid));                  // left of entry 15
  EXPECT_TRUE(outlined(CellLeft(1) + mid, CellTop(0)));                   // above entry 16
  EXPECT_TRUE(outlined(CellLeft(2) + kCellPitch - 1, CellTop(1) + mid));  // right of entry 33
  EXPECT_TRUE(outlined(CellLeft(2) + mid, CellTop(1) + kCellPitch - 1));  // below entry 33
  // Inner corners, where the band turns: above-left of entry 30 (below
  // entry 13's right), and below-right of entry 17 (above entry 34's left).
  EXPECT_TRUE(outlined(CellLeft(1), CellTop(14)));
  EXPECT_TRUE(outlined(CellLeft(1) + kCellPitch - 1, CellTop(1) + kCellPitch - 1));
  // Inside the band no line: between entries 14 and 15, and 17 and 33.
  EXPECT_FALSE(outlined(CellLeft(0) + mid, CellTop(15)));
  EXPECT_FALSE(outlined(CellLeft(2), CellTop(1) + mid));
  // Outside it: entry 13, entry 34.
  EXPECT_FALSE(outlined(CellLeft(0) + mid, CellTop(13)));
  EXPECT_FALSE(outlined(CellLeft(2) + mid, CellTop(2) + kCellPitch - 1));
}

TEST(SettingsPicture, BandsOfNoEntriesDrawNothingInTheGrid) {
  RendererConfig config = NoBands();
  std::fill(config.palette, config.palette + 768, 0);
  const ColorImage image = DrawSettingsPicture(config);
  for (int y = kGridTop; y < kGridTop + 16 * kCellPitch; ++y)
    for (int x = kGridLeft; x < kGridLeft + 16 * kCellPitch; ++x)
      for (int id = 0; id < kRangeCount; ++id)
        ASSERT_FALSE(Same(At(image, x, y), BandColor(id))) << x << "," << y;
}

// docs/command.md shows this picture; after a change to the drawing or the demo
// settings, make it again with the command quoted beside it.
TEST(SettingsPicture, TheDocumentedPictureIsCurrent) {
  ColorImage committed;
  ASSERT_EQ(ReadPngColor(SELVO_DOCS "/demo-settings.png", committed), "");
  const ColorImage drawn = DrawSettingsPicture(DemoConfig());
  ASSERT_EQ(committed.width, drawn.width);
  ASSERT_EQ(committed.height, drawn.height);
  for (std::size_t i = 0; i < drawn.pixels.size(); ++i)
    ASSERT_TRUE(Same(committed.pixels[i], drawn.pixels[i])) << "pixel " << i;
}

TEST(BitmapFont, EveryPrintableCharacterHasItsOwnGlyph) {
  std::set<std::vector<bool>> glyphs;
  const auto glyph = [](char c) {
    std::vector<bool> bits;
    for (int y = 0; y < kGlyphHeight; ++y)
      for (int x = 0; x < kGlyphWidth; ++x) bits.push_back(GlyphPixel(c, x, y));
    return bits;
  };
  for (int c = 33; c < 127; ++c) {
    const std::vector<bool> bits = glyph(char(c));
    EXPECT_NE(std::count(bits.begin(), bits.end(), true), 0) << char(c);
    EXPECT_TRUE(glyphs.insert(bits).second) << char(c) << " looks like another character";
  }
  EXPECT_EQ(glyph(' '), std::vector<bool>(kGlyphWidth * kGlyphHeight, false));
  EXPECT_EQ(glyph('\xe9'), glyph('?'));
  EXPECT_EQ(glyph('\n'), glyph('?'));
}

}  // namespace
}  // namespace selvo
