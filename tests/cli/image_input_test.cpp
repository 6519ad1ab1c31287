// Colour and ID images from PNG and OpenEXR files, as renderers write them.
#include <png.h>

#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/image_loader.h"
#include "core/renderer_config.h"
#include "tests/cli/test_files.h"

namespace selvo {
namespace {

using test::ExrChannel;
using test::ScratchDir;
using ::testing::HasSubstr;

std::string LoadColor(const std::string& path, ColorImage& image, ExrColorOptions options = {}) {
  return LoadColorImage(path, options, image);
}

void ExpectPixel(const ColorImage& image, int x, int y, uint16_t r, uint16_t g, uint16_t b,
                 uint16_t a) {
  const Pixel64& p = image.pixels[std::size_t(y) * image.width + x];
  EXPECT_EQ(p.r, r) << "(" << x << ", " << y << ")";
  EXPECT_EQ(p.g, g) << "(" << x << ", " << y << ")";
  EXPECT_EQ(p.b, b) << "(" << x << ", " << y << ")";
  EXPECT_EQ(p.a, a) << "(" << x << ", " << y << ")";
}

// --- PNG colour -------------------------------------------------------------

TEST(PngColor, EightBitRgbScalesBy257AndReadsOpaque) {
  ScratchDir dir;
  const std::string path = dir.Path("c.png");
  // 3 x 2, every sample different, so swaps and flips show.
  test::WritePng(path, 3, 2, PNG_COLOR_TYPE_RGB, 8,
                 {1, 2, 3, 10, 20, 30, 255, 0, 128, 4, 5, 6, 40, 50, 60, 7, 8, 9});
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  ExpectPixel(image, 0, 0, 257, 514, 771, 65535);
  ExpectPixel(image, 2, 0, 65535, 0, 32896, 65535);
  ExpectPixel(image, 0, 1, 1028, 1285, 1542, 65535);
  ExpectPixel(image, 2, 1, 1799, 2056, 2313, 65535);
}

TEST(PngColor, SixteenBitRgbaKeepsValuesAndAlpha) {
  ScratchDir dir;
  const std::string path = dir.Path("c.png");
  test::WritePng(path, 2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16,
                 {0x1234, 0xABCD, 0x0001, 0x8000, 65535, 0, 300, 7});
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  ExpectPixel(image, 0, 0, 0x1234, 0xABCD, 0x0001, 0x8000);
  ExpectPixel(image, 1, 0, 65535, 0, 300, 7);
}

TEST(PngColor, GreyAndGreyAlphaFillAllThreeComponents) {
  ScratchDir dir;
  ColorImage grey, greyAlpha, grey16;
  test::WritePng(dir.Path("g.png"), 2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 200});
  test::WritePng(dir.Path("ga.png"), 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {100, 50});
  test::WritePng(dir.Path("g16.png"), 1, 1, PNG_COLOR_TYPE_GRAY, 16, {40000});
  ASSERT_EQ(LoadColor(dir.Path("g.png"), grey), "");
  ASSERT_EQ(LoadColor(dir.Path("ga.png"), greyAlpha), "");
  ASSERT_EQ(LoadColor(dir.Path("g16.png"), grey16), "");
  ExpectPixel(grey, 1, 0, 51400, 51400, 51400, 65535);
  ExpectPixel(greyAlpha, 0, 0, 25700, 25700, 25700, 12850);
  ExpectPixel(grey16, 0, 0, 40000, 40000, 40000, 65535);
}

TEST(PngColor, PaletteImageReadsItsColours) {
  ScratchDir dir;
  const std::string path = dir.Path("p.png");
  test::WritePng(path, 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {10, 20, 30, 200, 100, 0});
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  ExpectPixel(image, 0, 0, 200 * 257, 100 * 257, 0, 65535);
  ExpectPixel(image, 1, 0, 10 * 257, 20 * 257, 30 * 257, 65535);
}

TEST(PngColor, InterlacedImageReadsInRowOrder) {
  ScratchDir dir;
  const std::string path = dir.Path("adam7.png");
  std::vector<uint16_t> samples;
  for (int i = 0; i < 9 * 7; ++i) samples.insert(samples.end(), {uint16_t(i), uint16_t(i * 4000), 3});
  test::WritePng(path, 9, 7, PNG_COLOR_TYPE_RGB, 16, samples, {}, /*interlaced=*/true);
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  for (int i = 0; i < 9 * 7; ++i) ExpectPixel(image, i % 9, i / 9, uint16_t(i), uint16_t(i * 4000), 3, 65535);
}

// --- PNG IDs ----------------------------------------------------------------

TEST(PngIds, GreyValuesAreTheIdsUnscaledAtEveryDepth) {
  ScratchDir dir;
  test::WritePng(dir.Path("i8.png"), 3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 7, 255});
  test::WritePng(dir.Path("i16.png"), 3, 1, PNG_COLOR_TYPE_GRAY, 16, {0, 300, 65535});
  test::WritePng(dir.Path("i4.png"), 3, 1, PNG_COLOR_TYPE_GRAY, 4, {0, 3, 15});
  IdImage ids8, ids16, ids4;
  ASSERT_EQ(LoadIdImage(dir.Path("i8.png"), kMaterialEffectsSelector, "", ids8), "");
  ASSERT_EQ(LoadIdImage(dir.Path("i16.png"), kObjectSelector, "", ids16), "");
  ASSERT_EQ(LoadIdImage(dir.Path("i4.png"), kObjectSelector, "", ids4), "");
  EXPECT_THAT(ids8.ids, ::testing::ElementsAre(0, 7, 255));
  EXPECT_THAT(ids16.ids, ::testing::ElementsAre(0, 300, 65535));
  EXPECT_THAT(ids4.ids, ::testing::ElementsAre(0, 3, 15));
}

TEST(PngIds, ColourImageIsRefusedAsIds) {
  ScratchDir dir;
  const std::string path = dir.Path("rgb.png");
  test::WritePng(path, 1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3});
  IdImage ids;
  const std::string error = LoadIdImage(path, kObjectSelector, "", ids);
  EXPECT_THAT(error, HasSubstr(path));
  EXPECT_THAT(error, HasSubstr("greyscale"));
}

// --- PNG failures -----------------------------------------------------------

TEST(PngFailures, OversizeImageIsRefusedBeforeItsPixelsAreRead) {
  ScratchDir dir;
  const std::string path = dir.Path("wide.png");
  test::WritePng(path, 70000, 1, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint16_t>(70000, 1));
  // Keep the signature, the header chunk and the first pixel chunk's length
  // and type, but no pixel data: reading a pixel would fail differently.
  std::vector<uint8_t> bytes = test::ReadBytes(path);
  bytes.resize(8 + 25 + 8);
  test::WriteBytes(path, bytes);
  ColorImage image;
  IdImage ids;
  EXPECT_THAT(LoadColor(path, image), HasSubstr("70000 x 1 pixels is larger than 65535"));
  EXPECT_THAT(LoadIdImage(path, kObjectSelector, "", ids), HasSubstr("larger than 65535"));
}

TEST(PngFailures, BrokenMissingAndForeignFilesGiveOneLineErrors) {
  ScratchDir dir;
  const std::string cut = dir.Path("cut.png");
  test::WritePng(cut, 40, 40, PNG_COLOR_TYPE_RGB, 8, std::vector<uint16_t>(4800, 9));
  std::vector<uint8_t> bytes = test::ReadBytes(cut);
  bytes.resize(bytes.size() - 30);
  test::WriteBytes(cut, bytes);
  test::WriteBytes(dir.Path("text.png"), {'h', 'e', 'l', 'l', 'o', '\n'});

  ColorImage image;
  const std::string truncated = LoadColor(cut, image);
  EXPECT_THAT(truncated, HasSubstr(cut + ": not a readable PNG file"));
  EXPECT_THAT(LoadColor(dir.Path("text.png"), image),
              HasSubstr("text.png: neither a PNG nor an OpenEXR file"));
  EXPECT_THAT(LoadColor(dir.Path("missing.png"), image), HasSubstr("missing.png: cannot open file"));
  EXPECT_EQ(truncated.find('\n'), std::string::npos);
}

// Damaged and foreign files, each of which must give an error naming the
// file, never a crash or an image.
TEST(MalformedInputs, EveryDamagedFileIsRefusedCleanly) {
  ScratchDir dir;
  test::WritePng(dir.Path("good.png"), 6, 5, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint16_t>(30, 3));
  test::WriteExr(dir.Path("good.exr"), 6, 5, {{"R", Imf::HALF, std::vector<float>(30, 1)},
                                              {"G", Imf::HALF, std::vector<float>(30, 1)},
                                              {"B", Imf::HALF, std::vector<float>(30, 1)},
                                              {"IndexOB.X", Imf::FLOAT, std::vector<float>(30, 1)}});
  const std::vector<uint8_t> png = test::ReadBytes(dir.Path("good.png"));
  const std::vector<uint8_t> exr = test::ReadBytes(dir.Path("good.exr"));
  const auto prefix = [](const std::vector<uint8_t>& bytes, std::size_t n) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
  };
  std::vector<uint8_t> badCrc = png;
  badCrc[29] ^= 0xFF;  // inside the header chunk's CRC
  std::vector<uint8_t> scrambled = exr;
  for (std::size_t i = exr.size() - 40; i < exr.size(); ++i) scrambled[i] = uint8_t(i * 37);

  const std::vector<std::pair<std::string, std::vector<uint8_t>>> corpus = {
      {"empty", {}},
      {"png_signature_cut", prefix(png, 5)},
      {"png_signature_only", prefix(png, 8)},
      {"png_header_cut", prefix(png, 20)},
      {"png_bad_crc", badCrc},
      {"png_no_pixels", prefix(png, 33)},
      {"exr_magic_only", prefix(exr, 4)},
      {"exr_header_cut", prefix(exr, 40)},
      {"exr_no_pixels", prefix(exr, exr.size() - 60)},
      {"exr_scrambled_pixels", scrambled},
      {"exr_offsets_cut", prefix(exr, exr.size() - 200)},
  };
  for (const auto& [name, bytes] : corpus) {
    const std::string path = dir.Path(name);
    test::WriteBytes(path, bytes);
    ColorImage image;
    IdImage ids;
    const std::string colorError = LoadColor(path, image);
    const std::string idError = LoadIdImage(path, kObjectSelector, "", ids);
    EXPECT_EQ(colorError.rfind(path + ": ", 0), 0u) << name << ": " << colorError;
    EXPECT_EQ(idError.rfind(path + ": ", 0), 0u) << name << ": " << idError;
    EXPECT_EQ(colorError.find('\n'), std::string::npos) << name;
  }
}

// --- EXR colour -------------------------------------------------------------

TEST(ExrColor, SrgbEncodingByDefaultAndValuesAsTheyAreWhenLinear) {
  ScratchDir dir;
  const std::string path = dir.Path("c.exr");
  // Linear 0.5 is sRGB 0.735357 (48192 of 65535); 0.0031308 is the knee,
  // 0.040450 (2651); out-of-range values clamp.
  test::WriteExr(path, 3, 2,
                 {{"R", Imf::FLOAT, {0.5f, 0, 1, 2, -1, 0.0031308f}},
                  {"G", Imf::FLOAT, {0, 0.5f, 0, 0, 0, 0}},
                  {"B", Imf::FLOAT, {0, 0, 0.5f, 0, 0, 0}},
                  {"A", Imf::FLOAT, {0.5f, 1, 1, 1, 1, 0}}});
  ColorImage srgb, linear;
  ASSERT_EQ(LoadColor(path, srgb), "");
  ExrColorOptions raw;
  raw.linear = true;
  ASSERT_EQ(LoadColor(path, linear, raw), "");
  ExpectPixel(srgb, 0, 0, 48192, 0, 0, 32768);  // alpha is never encoded
  ExpectPixel(srgb, 1, 0, 0, 48192, 0, 65535);
  ExpectPixel(srgb, 2, 0, 65535, 0, 48192, 65535);
  ExpectPixel(srgb, 0, 1, 65535, 0, 0, 65535);
  ExpectPixel(srgb, 1, 1, 0, 0, 0, 65535);
  ExpectPixel(srgb, 2, 1, 2651, 0, 0, 0);
  ExpectPixel(linear, 0, 0, 32768, 0, 0, 32768);
  ExpectPixel(linear, 2, 1, 205, 0, 0, 0);
}

TEST(ExrColor, GreyImageWithoutAlphaReadsOpaque) {
  ScratchDir dir;
  const std::string path = dir.Path("y.exr");
  test::WriteExr(path, 1, 1, {{"Y", Imf::HALF, {1.0f}}});
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  ExpectPixel(image, 0, 0, 65535, 65535, 65535, 65535);
}

// A multilayer file as Blender writes it: every pass of a view layer.
std::vector<ExrChannel> BlenderLayer(const std::string& layer, const std::string& objectPass,
                                     const std::string& materialPass) {
  return {{layer + ".Combined.R", Imf::HALF, {1, 0, 0, 0, 0, 1}},
          {layer + ".Combined.G", Imf::HALF, {0, 1, 0, 0, 1, 0}},
          {layer + ".Combined.B", Imf::HALF, {0, 0, 1, 1, 0, 0}},
          {layer + ".Combined.A", Imf::HALF, {1, 1, 1, 1, 1, 0}},
          {layer + ".Depth.Z", Imf::FLOAT, {5, 5, 5, 5, 5, 5}},
          {layer + "." + objectPass, Imf::FLOAT, {0, 1, 2, 300, 4, 5}},
          {layer + "." + materialPass, Imf::FLOAT, {7, 6, 5, 4, 3, 2}}};
}

TEST(ExrColor, MultilayerFileUsesItsCombinedLayer) {
  ScratchDir dir;
  const std::string path = dir.Path("ml.exr");
  test::WriteExr(path, 3, 2, BlenderLayer("ViewLayer", "IndexOB.X", "IndexMA.X"));
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  ExpectPixel(image, 0, 0, 65535, 0, 0, 65535);
  ExpectPixel(image, 2, 1, 65535, 0, 0, 0);
  ExpectPixel(image, 1, 1, 0, 65535, 0, 65535);
}

TEST(ExrColor, SeveralViewLayersNeedAChoice) {
  ScratchDir dir;
  const std::string path = dir.Path("two.exr");
  std::vector<ExrChannel> channels = BlenderLayer("Front", "IndexOB.X", "IndexMA.X");
  for (ExrChannel channel : BlenderLayer("Back", "IndexOB.X", "IndexMA.X")) {
    for (float& v : channel.values) v = v == 0 ? 1 : 0;
    channels.push_back(channel);
  }
  test::WriteExr(path, 3, 2, channels);
  ColorImage image;
  EXPECT_THAT(LoadColor(path, image), HasSubstr("several colour layers (Back.Combined, Front.Combined)"));
  ExrColorOptions back;
  back.layer = "Back.Combined";
  ASSERT_EQ(LoadColor(path, image, back), "");
  ExpectPixel(image, 0, 0, 0, 65535, 65535, 0);

  IdImage ids;
  EXPECT_THAT(LoadIdImage(path, kObjectSelector, "", ids),
              HasSubstr("several object-index channels (Back.IndexOB.X, Front.IndexOB.X)"));
  ASSERT_EQ(LoadIdImage(path, kObjectSelector, "Front.IndexOB.X", ids), "");
  EXPECT_EQ(ids.ids[3], 300);
}

TEST(ExrColor, DataWindowAwayFromTheOriginIsRead) {
  ScratchDir dir;
  const std::string path = dir.Path("offset.exr");
  test::WriteExr(path, 2, 1,
                 {{"R", Imf::FLOAT, {1, 0}}, {"G", Imf::FLOAT, {0, 0}}, {"B", Imf::FLOAT, {0, 1}}},
                 10, 20);
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  ASSERT_EQ(image.width, 2);
  ExpectPixel(image, 0, 0, 65535, 0, 0, 65535);
  ExpectPixel(image, 1, 0, 0, 0, 65535, 65535);
}

// --- EXR IDs ----------------------------------------------------------------

TEST(ExrIds, BothNamingSchemesFollowTheSelectedChannel) {
  ScratchDir dir;
  const std::string older = dir.Path("older.exr");
  const std::string newer = dir.Path("newer.exr");
  test::WriteExr(older, 3, 2, BlenderLayer("ViewLayer", "IndexOB.X", "IndexMA.X"));
  test::WriteExr(newer, 3, 2, BlenderLayer("ViewLayer", "Object Index.X", "Material Index.X"));
  for (const std::string& path : {older, newer}) {
    IdImage objects, materials;
    ASSERT_EQ(LoadIdImage(path, kObjectSelector, "", objects), "");
    ASSERT_EQ(LoadIdImage(path, kMaterialEffectsSelector, "", materials), "");
    EXPECT_THAT(objects.ids, ::testing::ElementsAre(0, 1, 2, 300, 4, 5)) << path;
    EXPECT_THAT(materials.ids, ::testing::ElementsAre(7, 6, 5, 4, 3, 2)) << path;
  }
}

TEST(ExrIds, NamedChannelAndTopLevelPassAreFound) {
  ScratchDir dir;
  const std::string path = dir.Path("ids.exr");
  test::WriteExr(path, 2, 1, {{"IndexOB.X", Imf::FLOAT, {3, 4}}, {"mask.Y", Imf::HALF, {9, 8}}});
  IdImage found, named;
  ASSERT_EQ(LoadIdImage(path, kObjectSelector, "", found), "");
  ASSERT_EQ(LoadIdImage(path, kObjectSelector, "mask.Y", named), "");
  EXPECT_THAT(found.ids, ::testing::ElementsAre(3, 4));
  EXPECT_THAT(named.ids, ::testing::ElementsAre(9, 8));
  EXPECT_THAT(LoadIdImage(path, kObjectSelector, "nope", named), HasSubstr("no channel \"nope\""));
  EXPECT_THAT(LoadIdImage(path, kMaterialEffectsSelector, "", named),
              HasSubstr("no material-index channel (IndexMA.X or Material Index.X)"));
}

TEST(ExrIds, NearlyWholeValuesRoundAndOthersAreRefused) {
  ScratchDir dir;
  struct Case {
    float value;
    const char* error;  // nullptr: accepted
    uint16_t id;
  };
  const Case cases[] = {
      {2.004f, nullptr, 2},     {6.996f, nullptr, 7},
      {65535, nullptr, 65535},  {-0.001f, nullptr, 0},
      {2.5f, "ID 2.5 at pixel (1, 0) is not a whole number", 0},
      {-1, "ID -1 at pixel (1, 0) is negative", 0},
      {70000, "ID 70000 at pixel (1, 0) is above 65535", 0},
      {std::numeric_limits<float>::quiet_NaN(), "is not a whole number", 0},
  };
  for (const Case& c : cases) {
    const std::string path = dir.Path("id.exr");
    test::WriteExr(path, 2, 1, {{"V.IndexOB.X", Imf::FLOAT, {0, c.value}}});
    IdImage ids;
    const std::string error = LoadIdImage(path, kObjectSelector, "", ids);
    if (c.error == nullptr) {
      ASSERT_EQ(error, "") << c.value;
      EXPECT_EQ(ids.ids[1], c.id) << c.value;
    } else {
      EXPECT_EQ(error.rfind(path + ": ID ", 0), 0u) << error;
      EXPECT_THAT(error, HasSubstr(c.error)) << c.value;
      EXPECT_THAT(error, HasSubstr("V.IndexOB.X")) << c.value;
    }
  }
}

TEST(ExrFailures, OversizeDataWindowAndBrokenFilesAreRefused) {
  ScratchDir dir;
  const std::string wide = dir.Path("wide.exr");
  test::WriteExr(wide, 70000, 1, {{"Y", Imf::HALF, std::vector<float>(70000, 0.5f)}});
  ColorImage image;
  IdImage ids;
  EXPECT_THAT(LoadColor(wide, image), HasSubstr("70000 x 1 pixels is larger than 65535"));
  EXPECT_THAT(LoadIdImage(wide, kObjectSelector, "Y", ids), HasSubstr("larger than 65535"));

  const std::string cut = dir.Path("cut.exr");
  test::WriteExr(cut, 8, 8, {{"R", Imf::FLOAT, std::vector<float>(64, 0.25f)},
                             {"G", Imf::FLOAT, std::vector<float>(64, 0.25f)},
                             {"B", Imf::FLOAT, std::vector<float>(64, 0.25f)}});
  std::vector<uint8_t> bytes = test::ReadBytes(cut);
  bytes.resize(bytes.size() / 2);
  test::WriteBytes(cut, bytes);
  const std::string error = LoadColor(cut, image);
  EXPECT_THAT(error, HasSubstr(cut + ": cannot read EXR"));
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace selvo
