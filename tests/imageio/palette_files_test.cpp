// Palette files of artists' tools: each format read from a hand-written
// sample, written and read back, and each malformed case refused with its
// line or byte.
#include <png.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "imageio/palette/palette_files.h"
#include "imageio/png/png_io.h"
#include "testing/test_files.h"

namespace selvo {
namespace {

using test::ScratchDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Colors = std::vector<PaletteColor>;

void WriteText(const std::string& path, const std::string& text) {
  test::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

Colors Read(const std::string& path) {
  Colors colors;
  const std::string error = ReadPaletteFile(path, colors);
  EXPECT_EQ(error, "") << path;
  return colors;
}

std::string ReadError(const std::string& path) {
  Colors colors;
  return ReadPaletteFile(path, colors);
}

TEST(PaletteFiles, HandWrittenSamplesOfEachTextFormat) {
  ScratchDir dir;
  WriteText(dir.Path("ramp.gpl"),
            "GIMP Palette\r\nName: Ramp\r\nColumns: 4\r\n# made by hand\r\n\r\n"
            "  0   0   0\tBlack\r\n255 128 1 Orange-ish\r\n");
  EXPECT_THAT(Read(dir.Path("ramp.gpl")),
              ElementsAre(PaletteColor{0, 0, 0}, PaletteColor{255, 128, 1}));
  // Newer GIMP and Aseprite write an alpha column under "Channels: RGBA".
  WriteText(dir.Path("alpha.gpl"), "GIMP Palette\nChannels: RGBA\n1 2 3 255 a\n");
  EXPECT_THAT(Read(dir.Path("alpha.gpl")), ElementsAre(PaletteColor{1, 2, 3}));
  WriteText(dir.Path("three.pal"), "JASC-PAL\r\n0100\r\n3\r\n10 20 30\r\n40 50 60\r\n7 8 9\r\n");
  EXPECT_THAT(
      Read(dir.Path("three.pal")),
      ElementsAre(PaletteColor{10, 20, 30}, PaletteColor{40, 50, 60}, PaletteColor{7, 8, 9}));
  WriteText(dir.Path("site.hex"), "ff8000\n#0A0b0C\n\n");
  EXPECT_THAT(Read(dir.Path("site.hex")),
              ElementsAre(PaletteColor{255, 128, 0}, PaletteColor{10, 11, 12}));
}

TEST(PaletteFiles, AdobeTablesOfBothSizes) {
  ScratchDir dir;
  std::vector<uint8_t> table(768);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = uint8_t(i * 7);
  test::WriteBytes(dir.Path("full.act"), table);
  const Colors full = Read(dir.Path("full.act"));
  ASSERT_EQ(full.size(), 256u);
  EXPECT_EQ(full[1], (PaletteColor{21, 28, 35}));
  // 772 bytes: a big-endian count of 3, then the transparent index.
  table.insert(table.end(), {0, 3, 0xFF, 0xFF});
  test::WriteBytes(dir.Path("three.act"), table);
  EXPECT_THAT(
      Read(dir.Path("three.act")),
      ElementsAre(PaletteColor{0, 7, 14}, PaletteColor{21, 28, 35}, PaletteColor{42, 49, 56}));
}

TEST(PaletteFiles, PngGivesAnIndexedPaletteOrSmallTrueColourPixelsInReadingOrder) {
  ScratchDir dir;
  test::WritePng(dir.Path("indexed.png"), 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1},
                 {9, 8, 7, 6, 5, 4, 3, 2, 1});
  EXPECT_THAT(Read(dir.Path("indexed.png")),
              ElementsAre(PaletteColor{9, 8, 7}, PaletteColor{6, 5, 4}, PaletteColor{3, 2, 1}));
  // 3 x 2 RGB: the top row left to right, then the next row.
  test::WritePng(dir.Path("swatches.png"), 3, 2, PNG_COLOR_TYPE_RGB, 8,
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
  EXPECT_THAT(
      Read(dir.Path("swatches.png")),
      ElementsAre(PaletteColor{1, 2, 3}, PaletteColor{4, 5, 6}, PaletteColor{7, 8, 9},
                  PaletteColor{10, 11, 12}, PaletteColor{13, 14, 15}, PaletteColor{16, 17, 18}));
  // 16-bit levels round to the nearest 8-bit level.
  test::WritePng(dir.Path("deep.png"), 1, 1, PNG_COLOR_TYPE_RGB, 16, {257 * 200 + 128, 0, 65535});
  EXPECT_THAT(Read(dir.Path("deep.png")), ElementsAre(PaletteColor{200, 0, 255}));
  test::WritePng(dir.Path("large.png"), 17, 16, PNG_COLOR_TYPE_GRAY, 8,
                 std::vector<uint16_t>(17 * 16, 0));
  EXPECT_EQ(ReadError(dir.Path("large.png")),
            dir.Path("large.png") +
                ": a true-colour image gives one colour a pixel, at most "
                "256; this one is 17 x 16 pixels");
}

TEST(PaletteFiles, ContentDecidesOverTheExtension) {
  ScratchDir dir;
  WriteText(dir.Path("gimp.txt"), "GIMP Palette\n1 2 3\n");
  EXPECT_THAT(Read(dir.Path("gimp.txt")), ElementsAre(PaletteColor{1, 2, 3}));
  WriteText(dir.Path("jasc.gpl"), "JASC-PAL\n0100\n1\n4 5 6\n");
  EXPECT_THAT(Read(dir.Path("jasc.gpl")), ElementsAre(PaletteColor{4, 5, 6}));
  WriteText(dir.Path("list"), "010203\n");  // hex lines under any name
  EXPECT_THAT(Read(dir.Path("list")), ElementsAre(PaletteColor{1, 2, 3}));
  WriteText(dir.Path("bom.gpl"), "\xEF\xBB\xBFGIMP Palette\n4 5 6\n");
  EXPECT_THAT(Read(dir.Path("bom.gpl")), ElementsAre(PaletteColor{4, 5, 6}));
  std::vector<uint8_t> riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'P', 'A', 'L', ' '};
  test::WriteBytes(dir.Path("ms.pal"), riff);
  EXPECT_THAT(ReadError(dir.Path("ms.pal")),
              HasSubstr("a RIFF palette, which selvo does not read"));
  riff.resize(4);  // too short to say what it holds: a .pal file, so JASC-PAL
  test::WriteBytes(dir.Path("ms.pal"), riff);
  EXPECT_EQ(ReadError(dir.Path("ms.pal")), dir.Path("ms.pal") + ": line 1: expected \"JASC-PAL\"");
  WriteText(dir.Path("notes.txt"), "hello\n");
  EXPECT_THAT(ReadError(dir.Path("notes.txt")), HasSubstr("not a palette file selvo knows"));
  EXPECT_EQ(ReadError(dir.Path("none.gpl")),
            dir.Path("none.gpl") + ": cannot open file: No such file or directory");
}

TEST(PaletteFiles, EachFormatRoundTripsAll256Entries) {
  ScratchDir dir;
  uint8_t palette[768];
  for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i * 37 + i / 3);
  for (const char* name : {"p.pcx", "p.gpl", "p.pal", "p.act", "p.hex", "p.png", "P.GPL"}) {
    ASSERT_EQ(WritePaletteFile(dir.Path(name), palette), "") << name;
    const Colors colors = Read(dir.Path(name));
    ASSERT_EQ(colors.size(), 256u) << name;
    EXPECT_EQ(std::vector<uint8_t>(&colors[0][0], &colors[0][0] + 768),
              std::vector<uint8_t>(palette, palette + 768))
        << name;
  }
  EXPECT_EQ(WritePaletteFile(dir.Path("p.txt"), palette),
            dir.Path("p.txt") +
                ": unknown palette format; name the file .pcx, .gpl, .pal, "
                ".act, .hex or .png");
}

// A PNG or PCX palette file is a picture of its entries in reading order, so
// a tool that converts it to true colour keeps the order.
TEST(PaletteFiles, ImagePalettesShowTheEntriesInReadingOrder) {
  ScratchDir dir;
  uint8_t palette[768];
  for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i / 3);  // entry i is grey i
  ASSERT_EQ(WritePaletteFile(dir.Path("p.png"), palette), "");
  ColorImage image;
  ASSERT_EQ(ReadPngColor(dir.Path("p.png"), image), "");
  ASSERT_EQ(image.width, 16);
  ASSERT_EQ(image.height, 16);
  EXPECT_EQ(image.pixels[1].r, 1 * 257);        // second in the top row
  EXPECT_EQ(image.pixels[16 * 3].r, 48 * 257);  // first of the fourth row
}

TEST(PaletteFiles, MalformedTextFilesNameTheirLine) {
  struct Case {
    const char* text;
    std::string (*parse)(std::string_view, Colors&);
    const char* error;
  };
  const Case cases[] = {
      {"GIMP palette\n1 2 3\n", ParseGimpPalette, "line 1: expected \"GIMP Palette\""},
      {"GIMP Palette\n1 2 3\n1 2 256\n", ParseGimpPalette, "line 3: expected R G B, each 0..255"},
      {"GIMP Palette\n# only comments\n", ParseGimpPalette, "line 2: no colours in the file"},
      {"GIMP Palette\nChannels: CMYK\n", ParseGimpPalette,
       "line 2: expected Channels: RGB or RGBA"},
      {"GIMP Palette\nChannels: RGBA\n1 2 3\n", ParseGimpPalette,
       "line 3: expected R G B A, each 0..255"},
      {"JASC-PAL\n0200\n1\n1 2 3\n", ParseJascPalette, "line 2: expected version 0100"},
      {"JASC-PAL\n0100\n0\n", ParseJascPalette, "line 3: expected the number of colours, 1..256"},
      {"JASC-PAL\n0100\n2\n1 2 3\n4 5\n", ParseJascPalette, "line 5: expected R G B, each 0..255"},
      {"JASC-PAL\n0100\n1\n1 2 3\n4 5 6\n", ParseJascPalette,
       "line 5: more colours than the 1 that line 3 announces"},
      {"JASC-PAL\n0100\n3\n1 2 3\n", ParseJascPalette,
       "line 5: the file ends after 1 of the 3 colours that line 3 announces"},
      {"ff0000\n00ff0\n", ParseHexPalette, "line 2: expected RRGGBB"},
      {"ff0000\n0x00ff00\n", ParseHexPalette, "line 2: expected RRGGBB"},
      {"\n\n", ParseHexPalette, "line 2: no colours in the file"},
  };
  for (const Case& c : cases) {
    Colors colors;
    EXPECT_EQ(c.parse(c.text, colors), c.error) << c.text;
  }
}

TEST(PaletteFiles, MalformedBinaryFilesNameTheirByte) {
  Colors colors;
  EXPECT_EQ(ParseAdobePalette(std::vector<uint8_t>(770), colors),
            "byte 770: the file ends there; an Adobe colour table has 768 or 772 bytes");
  std::vector<uint8_t> table(772);
  table[768] = 1;  // 257 colours
  table[769] = 1;
  EXPECT_EQ(ParseAdobePalette(table, colors), "byte 768: colour count 257 is not 1..256");
  table[768] = 0;
  table[769] = 0;
  EXPECT_EQ(ParseAdobePalette(table, colors), "byte 768: colour count 0 is not 1..256");
}

TEST(PaletteFiles, PlacingKeepsEveryEntryOutsideTheColours) {
  uint8_t palette[768] = {};
  const Colors two = {{1, 2, 3}, {4, 5, 6}};
  ASSERT_EQ(PlacePaletteColors(two, 254, "two.hex", palette), "");
  EXPECT_THAT(std::vector<uint8_t>(palette + 3 * 253, palette + 768),
              ElementsAre(0, 0, 0, 1, 2, 3, 4, 5, 6));
  EXPECT_EQ(PlacePaletteColors(two, 255, "two.hex", palette),
            "two.hex holds 2 colours; from entry 255 only 1 fit");
  EXPECT_EQ(PlacePaletteColors(Colors(257), 0, "big.gpl", palette),
            "big.gpl holds 257 colours; from entry 0 only 256 fit");
}

}  // namespace
}  // namespace selvo
