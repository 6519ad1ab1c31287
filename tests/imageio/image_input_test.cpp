// Colour and ID images from PNG and OpenEXR files, as renderers write them.
#include <png.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/renderer_config.h"
#include "imageio/image_loader.h"
#include "testing/test_files.h"

namespace selvo {
namespace {

using test::ExrChannel;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A pixel as it must read at (x, y).
struct PixelAt {
  int x, y;
  uint16_t r, g, b, a;
};

void ExpectPixels(const ColorImage& image, const std::vector<PixelAt>& expected,
                  const std::string& what = "") {
  for (const PixelAt& e : expected) {
    const Pixel64& p = image.pixels[std::size_t(e.y) * image.width + e.x];
    const auto at = [&] {
      return what + " (" + std::to_string(e.x) + ", " + std::to_string(e.y) + ")";
    };
    EXPECT_EQ(p.r, e.r) << at();
    EXPECT_EQ(p.g, e.g) << at();
    EXPECT_EQ(p.b, e.b) << at();
    EXPECT_EQ(p.a, e.a) << at();
  }
}

std::string LoadColor(const std::string& path, ColorImage& image, ExrColorOptions options = {}) {
  return LoadColorImage(path, options, image);
}

// Every test writes its files into a folder of its own.
class ImageInput : public ::testing::Test {
 protected:
  test::ScratchDir dir;
};
using PngColor = ImageInput;
using PngIds = ImageInput;
using PngFailures = ImageInput;
using MalformedInputs = ImageInput;
using ExrColor = ImageInput;
using ExrIds = ImageInput;
using ExrLumaChroma = ImageInput;
using ExrWindows = ImageInput;
using ExrParts = ImageInput;
using ExrOnePass = ImageInput;
using ExrFailures = ImageInput;

// --- PNG colour -------------------------------------------------------------

// An 8-bit value v reads as v x 257, so that 255 is 65535; 16-bit values as
// they are; grey fills all three components; alpha reads as 65535 where the
// file has none; a palette image reads as its entries' colours.
TEST_F(PngColor, EveryKindReadsAsSixteenBitLevels) {
  struct Case {
    const char* name;
    int width, height, colorType, bitDepth;
    std::vector<uint16_t> samples;
    std::vector<uint8_t> palette;
    std::vector<PixelAt> expected;
  };
  // clang-format off
  const Case cases[] = {
      // 3 x 2, every sample different, so swaps and flips show.
      {"rgb8", 3, 2, PNG_COLOR_TYPE_RGB, 8,
       {1, 2, 3, 10, 20, 30, 255, 0, 128, 4, 5, 6, 40, 50, 60, 7, 8, 9}, {},
       {{0, 0, 257, 514, 771, 65535}, {2, 0, 65535, 0, 32896, 65535},
        {0, 1, 1028, 1285, 1542, 65535}, {2, 1, 1799, 2056, 2313, 65535}}},
      {"rgba16", 2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16,
       {0x1234, 0xABCD, 0x0001, 0x8000, 65535, 0, 300, 7}, {},
       {{0, 0, 0x1234, 0xABCD, 0x0001, 0x8000}, {1, 0, 65535, 0, 300, 7}}},
      {"grey8", 2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 200}, {},
       {{1, 0, 51400, 51400, 51400, 65535}}},
      {"grey_alpha8", 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {100, 50}, {},
       {{0, 0, 25700, 25700, 25700, 12850}}},
      {"grey16", 1, 1, PNG_COLOR_TYPE_GRAY, 16, {40000}, {},
       {{0, 0, 40000, 40000, 40000, 65535}}},
      {"palette", 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {10, 20, 30, 200, 100, 0},
       {{0, 0, 200 * 257, 100 * 257, 0, 65535}, {1, 0, 10 * 257, 20 * 257, 30 * 257, 65535}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string path = dir.Path(std::string(c.name) + ".png");
    test::WritePng(path, c.width, c.height, c.colorType, c.bitDepth, c.samples, c.palette);
    ColorImage image;
    ASSERT_EQ(LoadColor(path, image), "") << c.name;
    ASSERT_EQ(image.width, c.width) << c.name;
    ASSERT_EQ(image.height, c.height) << c.name;
    ExpectPixels(image, c.expected, c.name);
  }
}

TEST_F(PngColor, InterlacedImageReadsInRowOrder) {
  const std::string path = dir.Path("adam7.png");
  std::vector<uint16_t> samples;
  std::vector<PixelAt> expected;
  for (int i = 0; i < 9 * 7; ++i) {
    samples.insert(samples.end(), {uint16_t(i), uint16_t(i * 4000), 3});
    expected.push_back({i % 9, i / 9, uint16_t(i), uint16_t(i * 4000), 3, 65535});
  }
  test::WritePng(path, 9, 7, PNG_COLOR_TYPE_RGB, 16, samples, {}, /*interlaced=*/true);
  ColorImage image;
  ASSERT_EQ(LoadColor(path, image), "");
  ExpectPixels(image, expected);
}

// --- PNG IDs ----------------------------------------------------------------

TEST_F(PngIds, GreyValuesAreTheIdsUnscaledAtEveryDepth) {
  struct Case {
    int bitDepth;
    IdChannel channel;
    std::vector<uint16_t> ids;
  };
  const Case cases[] = {{8, IdChannel::kMaterialEffects, {0, 7, 255}},
                        {16, IdChannel::kObject, {0, 300, 65535}},
                        {4, IdChannel::kObject, {0, 3, 15}}};
  for (const Case& c : cases) {
    const std::string path = dir.Path("i" + std::to_string(c.bitDepth) + ".png");
    test::WritePng(path, 3, 1, PNG_COLOR_TYPE_GRAY, c.bitDepth, c.ids);
    IdImage ids;
    ASSERT_EQ(LoadIdImage(path, c.channel, "", ids), "") << c.bitDepth;
    EXPECT_EQ(ids.ids, c.ids) << c.bitDepth << " bits";
  }
}

// --- PNG failures -----------------------------------------------------------

TEST_F(PngFailures, OversizeImageIsRefusedBeforeItsPixelsAreRead) {
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
  EXPECT_THAT(LoadIdImage(path, IdChannel::kObject, "", ids), HasSubstr("larger than 65535"));
}

// Each refusal is one line that names the file and says what is wrong.
TEST_F(PngFailures, BrokenMissingForeignAndColourAsIdsAreRefusedByName) {
  test::WritePng(dir.Path("cut.png"), 40, 40, PNG_COLOR_TYPE_RGB, 8,
                 std::vector<uint16_t>(4800, 9));
  std::vector<uint8_t> cut = test::ReadBytes(dir.Path("cut.png"));
  cut.resize(cut.size() - 30);
  test::WriteBytes(dir.Path("cut.png"), cut);
  test::WriteBytes(dir.Path("text.png"), {'h', 'e', 'l', 'l', 'o', '\n'});
  std::filesystem::create_directory(dir.Path("frames.png"));
  test::WritePng(dir.Path("rgb.png"), 1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3});

  struct Case {
    const char* name;
    bool asIds;
    std::string problem;
  };
  const Case cases[] = {
      {"cut.png", false,
       "truncated PNG file (it ends after " + std::to_string(cut.size()) + " bytes)"},
      {"text.png", false, "neither a PNG nor an OpenEXR file"},
      {"missing.png", false, "cannot open file: No such file or directory"},
      {"frames.png", false, "is a folder, not a PNG or OpenEXR file"},
      {"rgb.png", true, "an ID image must be a greyscale PNG without alpha"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.Path(c.name);
    ColorImage image;
    IdImage ids;
    const std::string error =
        c.asIds ? LoadIdImage(path, IdChannel::kObject, "", ids) : LoadColor(path, image);
    EXPECT_EQ(error.rfind(path + ": " + c.problem, 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << c.name;
  }
}

// Damaged and foreign files, each of which must give an error naming the
// file, never a crash or an image.
TEST_F(MalformedInputs, EveryDamagedFileIsRefusedCleanly) {
  test::WritePng(dir.Path("good.png"), 6, 5, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint16_t>(30, 3));
  test::WriteExr(dir.Path("good.exr"), 6, 5,
                 {{"R", Imf::HALF, std::vector<float>(30, 1)},
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
    const std::string idError = LoadIdImage(path, IdChannel::kObject, "", ids);
    EXPECT_EQ(colorError.rfind(path + ": ", 0), 0u) << name << ": " << colorError;
    EXPECT_EQ(idError.rfind(path + ": ", 0), 0u) << name << ": " << idError;
    EXPECT_EQ(colorError.find('\n'), std::string::npos) << name;
  }
}

// --- EXR colour -------------------------------------------------------------

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

// EXR colour is encoded with the sRGB curve unless it is taken as it is;
// alpha never is. A grey image (Y) fills all three components, and reads
// opaque without alpha. A multilayer file is read from its Combined layer;
// a data window away from the origin is the frame.
TEST_F(ExrColor, ChannelsReadAsLevels) {
  // Linear 0.5 is sRGB 0.735357 (48192 of 65535); 0.0031308 is the knee,
  // 0.040450 (2651); out-of-range values clamp.
  const std::vector<ExrChannel> ramp = {{"R", Imf::FLOAT, {0.5f, 0, 1, 2, -1, 0.0031308f}},
                                        {"G", Imf::FLOAT, {0, 0.5f, 0, 0, 0, 0}},
                                        {"B", Imf::FLOAT, {0, 0, 0.5f, 0, 0, 0}},
                                        {"A", Imf::FLOAT, {0.5f, 1, 1, 1, 1, 0}}};
  ExrColorOptions linear;
  linear.linear = true;
  struct Case {
    const char* name;
    int width, height;
    std::vector<ExrChannel> channels;
    int originX, originY;
    ExrColorOptions options;
    std::vector<PixelAt> expected;
  };
  // clang-format off
  const Case cases[] = {
      {"srgb", 3, 2, ramp, 0, 0, {},
       {{0, 0, 48192, 0, 0, 32768}, {1, 0, 0, 48192, 0, 65535}, {2, 0, 65535, 0, 48192, 65535},
        {0, 1, 65535, 0, 0, 65535}, {1, 1, 0, 0, 0, 65535}, {2, 1, 2651, 0, 0, 0}}},
      {"linear", 3, 2, ramp, 0, 0, linear, {{0, 0, 32768, 0, 0, 32768}, {2, 1, 205, 0, 0, 0}}},
      {"grey", 1, 1, {{"Y", Imf::HALF, {1.0f}}}, 0, 0, {}, {{0, 0, 65535, 65535, 65535, 65535}}},
      {"multilayer", 3, 2, BlenderLayer("ViewLayer", "IndexOB.X", "IndexMA.X"), 0, 0, {},
       {{0, 0, 65535, 0, 0, 65535}, {2, 1, 65535, 0, 0, 0}, {1, 1, 0, 65535, 0, 65535}}},
      {"offset", 2, 1,
       {{"R", Imf::FLOAT, {1, 0}}, {"G", Imf::FLOAT, {0, 0}}, {"B", Imf::FLOAT, {0, 1}}}, 10, 20,
       {}, {{0, 0, 65535, 0, 0, 65535}, {1, 0, 0, 0, 65535, 65535}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const std::string path = dir.Path(std::string(c.name) + ".exr");
    test::WriteExr(path, c.width, c.height, c.channels, c.originX, c.originY);
    ColorImage image;
    ASSERT_EQ(LoadColor(path, image, c.options), "") << c.name;
    ASSERT_EQ(image.width, c.width) << c.name;
    ASSERT_EQ(image.height, c.height) << c.name;
    ExpectPixels(image, c.expected, c.name);
  }
}

TEST_F(ExrColor, SeveralViewLayersNeedAChoice) {
  const std::string path = dir.Path("two.exr");
  std::vector<ExrChannel> channels = BlenderLayer("Front", "IndexOB.X", "IndexMA.X");
  for (ExrChannel channel : BlenderLayer("Back", "IndexOB.X", "IndexMA.X")) {
    for (float& v : channel.values) v = v == 0 ? 1 : 0;
    channels.push_back(channel);
  }
  test::WriteExr(path, 3, 2, channels);
  ColorImage image;
  EXPECT_THAT(LoadColor(path, image),
              HasSubstr("several colour layers (Back.Combined, Front.Combined)"));
  ExrColorOptions back;
  back.layer = "Back.Combined";
  ASSERT_EQ(LoadColor(path, image, back), "");
  ExpectPixels(image, {{0, 0, 0, 65535, 65535, 0}});

  IdImage ids;
  EXPECT_THAT(LoadIdImage(path, IdChannel::kObject, "", ids),
              HasSubstr("several object-index channels (Back.IndexOB.X, Front.IndexOB.X)"));
  ASSERT_EQ(LoadIdImage(path, IdChannel::kObject, "Front.IndexOB.X", ids), "");
  EXPECT_EQ(ids.ids[3], 300);
}

// --- EXR IDs ----------------------------------------------------------------

TEST_F(ExrIds, BothNamingSchemesFollowTheSelectedChannel) {
  const std::string older = dir.Path("older.exr");
  const std::string newer = dir.Path("newer.exr");
  test::WriteExr(older, 3, 2, BlenderLayer("ViewLayer", "IndexOB.X", "IndexMA.X"));
  test::WriteExr(newer, 3, 2, BlenderLayer("ViewLayer", "Object Index.X", "Material Index.X"));
  for (const std::string& path : {older, newer}) {
    IdImage objects, materials;
    ASSERT_EQ(LoadIdImage(path, IdChannel::kObject, "", objects), "");
    ASSERT_EQ(LoadIdImage(path, IdChannel::kMaterialEffects, "", materials), "");
    EXPECT_THAT(objects.ids, ElementsAre(0, 1, 2, 300, 4, 5)) << path;
    EXPECT_THAT(materials.ids, ElementsAre(7, 6, 5, 4, 3, 2)) << path;
  }
}

TEST_F(ExrIds, NamedChannelAndTopLevelPassAreFound) {
  const std::string path = dir.Path("ids.exr");
  test::WriteExr(path, 2, 1, {{"IndexOB.X", Imf::FLOAT, {3, 4}}, {"mask.Y", Imf::HALF, {9, 8}}});
  struct Case {
    IdChannel channel;
    const char* requested;
    std::vector<uint16_t> ids;
    const char* problem;  // nullptr: read
  };
  const Case cases[] = {
      {IdChannel::kObject, "", {3, 4}, nullptr},
      {IdChannel::kObject, "mask.Y", {9, 8}, nullptr},
      {IdChannel::kObject, "nope", {}, "no channel \"nope\""},
      {IdChannel::kMaterialEffects,
       "",
       {},
       "no material-index channel (IndexMA.X or Material Index.X)"},
  };
  for (const Case& c : cases) {
    IdImage ids;
    const std::string error = LoadIdImage(path, c.channel, c.requested, ids);
    if (c.problem != nullptr) {
      EXPECT_THAT(error, HasSubstr(c.problem)) << c.requested;
    } else {
      ASSERT_EQ(error, "") << c.requested;
      EXPECT_EQ(ids.ids, c.ids) << c.requested;
    }
  }
}

TEST_F(ExrIds, NearlyWholeValuesRoundAndOthersAreRefused) {
  struct Case {
    float value;
    const char* error;  // nullptr: accepted
    uint16_t id;
  };
  // The tolerance is 0.01 either side: the float nearest 2.01 lies just
  // inside it (2.00999999), the next float up just outside (2.01000023);
  // likewise 1.99 and the float below it, and -0.01 around 0. Near 65535
  // floats are 1/256 apart: two steps (0.0078) are inside, three (0.0117)
  // outside.
  const float up = 3, down = 0;
  const Case cases[] = {
      {2.004f, nullptr, 2},
      {6.996f, nullptr, 7},
      {65535, nullptr, 65535},
      {-0.001f, nullptr, 0},
      {2.01f, nullptr, 2},
      {std::nextafter(2.01f, up), "is not a whole number", 0},
      {1.99f, nullptr, 2},
      {std::nextafter(1.99f, down), "is not a whole number", 0},
      {-0.01f, nullptr, 0},
      {std::nextafter(-0.01f, -up), "is not a whole number", 0},
      {65535.0078125f, nullptr, 65535},
      {65535.01171875f, "is not a whole number", 0},
      {2.5f, "ID 2.5 at pixel (1, 0) is not a whole number", 0},
      {-1, "ID -1 at pixel (1, 0) is negative", 0},
      {70000, "ID 70000 at pixel (1, 0) is above 65535", 0},
      {std::numeric_limits<float>::quiet_NaN(), "is not a whole number", 0},
  };
  for (const Case& c : cases) {
    const std::string path = dir.Path("id.exr");
    test::WriteExr(path, 2, 1, {{"V.IndexOB.X", Imf::FLOAT, {0, c.value}}});
    IdImage ids;
    const std::string error = LoadIdImage(path, IdChannel::kObject, "", ids);
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

// --- EXR luminance/chroma ---------------------------------------------------

// The same picture stored as RGB and as luminance/chroma. Every pixel is one
// base colour at a brightness of its own, so its chroma (RY = (R - Y) / Y,
// and BY) is the same everywhere and survives being stored once per 2 x 2
// pixels. What remains is the rounding of Y, RY and BY to half floats,
// about 0.05% each: under 0.15% of a value, at most 40 of the sRGB levels.
TEST_F(ExrLumaChroma, ConvertsToTheColoursOfTheSamePictureInRgb) {
  const int width = 6, height = 4;
  std::vector<float> rgba;
  std::vector<ExrChannel> rgb = {
      {"R", Imf::FLOAT, {}}, {"G", Imf::FLOAT, {}}, {"B", Imf::FLOAT, {}}, {"A", Imf::FLOAT, {}}};
  for (int i = 0; i < width * height; ++i) {
    const float k = 0.05f + 0.04f * float(i);
    const float pixel[4] = {0.8f * k, 0.4f * k, 0.1f * k, i % 2 ? 1.0f : 0.5f};
    for (int c = 0; c < 4; ++c) {
      rgba.push_back(pixel[c]);
      rgb[c].values.push_back(pixel[c]);
    }
  }
  test::WriteExr(dir.Path("rgb.exr"), width, height, rgb);
  test::WriteLumaChromaExr(dir.Path("yc.exr"), width, height, rgba);
  ColorImage fromRgb, fromLumaChroma;
  ASSERT_EQ(LoadColor(dir.Path("rgb.exr"), fromRgb), "");
  ASSERT_EQ(LoadColor(dir.Path("yc.exr"), fromLumaChroma), "");
  ASSERT_EQ(fromLumaChroma.width, width);
  ASSERT_EQ(fromLumaChroma.height, height);
  for (std::size_t p = 0; p < fromRgb.pixels.size(); ++p) {
    const Pixel64& expected = fromRgb.pixels[p];
    const Pixel64& got = fromLumaChroma.pixels[p];
    EXPECT_NEAR(got.r, expected.r, 40) << p;
    EXPECT_NEAR(got.g, expected.g, 40) << p;
    EXPECT_NEAR(got.b, expected.b, 40) << p;
    EXPECT_EQ(got.a, expected.a) << p;  // 0.5 and 1 are exact half floats
  }
}

// Layers are guessed to be the colour by R, G and B first; a
// luminance/chroma layer only when there is none, a Y alone never.
TEST_F(ExrLumaChroma, LayersWithRgbComeFirst) {
  ExrColorChannels chosen;
  ASSERT_EQ(FindColorChannels({"beauty.B", "beauty.G", "beauty.R", "cam.BY", "cam.RY", "cam.Y"}, "",
                              chosen),
            "");
  EXPECT_EQ(chosen.r, "beauty.R");
  EXPECT_FALSE(chosen.lumaChroma);
  ASSERT_EQ(FindColorChannels({"cam.BY", "cam.RY", "cam.Y", "mask.Y"}, "", chosen), "");
  EXPECT_TRUE(chosen.lumaChroma);
  EXPECT_EQ(chosen.prefix, "cam.");
  EXPECT_EQ(FindColorChannels({"IndexOB.X", "mask.Y"}, "", chosen),
            "no colour channels (R, G, B) among IndexOB.X, mask.Y");
}

TEST_F(ExrLumaChroma, FilesOpenExrCannotConvertAreRefused) {
  const std::vector<ExrChannel> fullChroma = {{"Y", Imf::HALF, {0.5f, 0.5f, 0.5f, 0.5f}},
                                              {"RY", Imf::HALF, {0.1f, 0.1f, 0.1f, 0.1f}},
                                              {"BY", Imf::HALF, {0.2f, 0.2f, 0.2f, 0.2f}}};
  test::WriteExr(dir.Path("full.exr"), 2, 2, fullChroma);
  const Imath::Box2i box(Imath::V2i(0, 0), Imath::V2i(1, 1));
  test::WriteExrParts(dir.Path("parts.exr"),
                      {{"ids", box, box, {{"IndexOB.X", Imf::FLOAT, {1, 2, 3, 4}}}},
                       {"camera", box, box, fullChroma}});
  ColorImage image;
  EXPECT_EQ(LoadColor(dir.Path("full.exr"), image),
            dir.Path("full.exr") +
                ": cannot convert luminance/chroma to RGB: \"RY\" is not "
                "stored once per 2 x 2 pixels");
  EXPECT_THAT(LoadColor(dir.Path("parts.exr"), image),
              HasSubstr("luminance/chroma colour can only be converted in a file's first part, "
                        "not in \"camera\""));
}

// --- EXR windows --------------------------------------------------------------

Imath::Box2i Box(int x0, int y0, int x1, int y1) {
  return Imath::Box2i(Imath::V2i(x0, y0), Imath::V2i(x1, y1));
}

// A compositor's bounding box: the frame is the display window, 5 x 4; the
// data window (1, 1)-(3, 2) holds the stored pixels. The rest of the frame
// is black with alpha 0 and ID 0.
TEST_F(ExrWindows, SmallerDataWindowLiesInABlankFrame) {
  const std::string path = dir.Path("bbox.exr");
  test::WriteExrParts(path, {{"",
                              Box(0, 0, 4, 3),
                              Box(1, 1, 3, 2),
                              {{"R", Imf::FLOAT, {1, 0.5f, 0.25f, 0, 0, 0}},
                               {"G", Imf::FLOAT, {0, 0, 0, 1, 0, 0}},
                               {"B", Imf::FLOAT, {0, 0, 0, 0, 0.5f, 1}},
                               {"IndexOB.X", Imf::FLOAT, {1, 2, 3, 4, 5, 6}}}}});
  ColorImage color;
  IdImage ids;
  ExrColorOptions raw;
  raw.linear = true;
  ASSERT_EQ(LoadFrameImages(path, raw, path, IdChannel::kObject, "", color, ids), "");
  ASSERT_EQ(color.width, 5);
  ASSERT_EQ(color.height, 4);
  ExpectPixels(color, {{0, 0, 0, 0, 0, 0}});
  ExpectPixels(color, {{1, 1, 65535, 0, 0, 65535}});
  ExpectPixels(color, {{3, 1, 16384, 0, 0, 65535}});
  ExpectPixels(color, {{1, 2, 0, 65535, 0, 65535}});
  ExpectPixels(color, {{3, 2, 0, 0, 65535, 65535}});
  ExpectPixels(color, {{4, 2, 0, 0, 0, 0}});
  ExpectPixels(color, {{2, 3, 0, 0, 0, 0}});
  EXPECT_THAT(ids.ids, ElementsAre(0, 0, 0, 0, 0,  //
                                   0, 1, 2, 3, 0,  //
                                   0, 4, 5, 6, 0,  //
                                   0, 0, 0, 0, 0));
}

// Overscan: the data window (-1, -1)-(3, 2) reaches past the 3 x 2 display
// window on every side. The stored ID at (x, y) is 10 (y + 2) + x + 2, so
// the frame's corner (0, 0) holds 22, and the grey level is that ID / 64,
// taken as it is (22 / 64 x 65535 = 22528). What lies outside is dropped
// unread: the 2.5 at (-1, -1) is no error.
TEST_F(ExrWindows, LargerDataWindowIsCutToTheDisplayWindow) {
  const std::string path = dir.Path("overscan.exr");
  std::vector<float> stored, grey;
  for (int y = -1; y <= 2; ++y)
    for (int x = -1; x <= 3; ++x) stored.push_back(float(10 * (y + 2) + x + 2));
  for (float id : stored) grey.push_back(id / 64);
  stored[0] = 2.5f;
  test::WriteExrParts(path, {{"",
                              Box(0, 0, 2, 1),
                              Box(-1, -1, 3, 2),
                              {{"Y", Imf::FLOAT, grey}, {"IndexMA.X", Imf::FLOAT, stored}}}});
  ColorImage color;
  IdImage ids;
  ExrColorOptions raw;
  raw.linear = true;
  ASSERT_EQ(LoadFrameImages(path, raw, path, IdChannel::kMaterialEffects, "", color, ids), "");
  ASSERT_EQ(color.width, 3);
  ASSERT_EQ(color.height, 2);
  EXPECT_THAT(ids.ids, ElementsAre(22, 23, 24, 32, 33, 34));
  for (std::size_t p = 0; p < 6; ++p) {
    const uint16_t level = uint16_t(std::lround(ids.ids[p] / 64.0 * 65535));
    ExpectPixels(color, {{int(p % 3), int(p / 3), level, level, level, 65535}});
  }
}

// Positions in errors are the frame's: the display window starts at
// (10, 20), the faulty ID is stored at (12, 21).
TEST_F(ExrWindows, ErrorsNamePixelsOfTheFrame) {
  const std::string path = dir.Path("ids.exr");
  test::WriteExrParts(path, {{"",
                              Box(10, 20, 13, 22),
                              Box(11, 20, 12, 21),
                              {{"IndexOB.X", Imf::FLOAT, {1, 1, 1, 2.5f}}}}});
  IdImage ids;
  EXPECT_EQ(LoadIdImage(path, IdChannel::kObject, "", ids),
            path + ": ID 2.5 at pixel (2, 1) is not a whole number (channel \"IndexOB.X\")");
}

// A bounding-box colour file and full-frame IDs of another file, as PNG or
// EXR, have the same frame.
TEST_F(ExrWindows, ColourAndIdsOfDifferentFilesLineUp) {
  const std::string colorPath = dir.Path("color.exr");
  test::WriteExrParts(
      colorPath,
      {{"", Box(0, 0, 4, 3), Box(2, 1, 3, 3), {{"Y", Imf::HALF, std::vector<float>(6, 0.5f)}}}});
  test::WritePng(dir.Path("ids.png"), 5, 4, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint16_t>(20, 1));
  test::WriteExr(dir.Path("ids.exr"), 5, 4, {{"IndexMA.X", Imf::FLOAT, std::vector<float>(20, 1)}});
  for (const std::string& idsPath : {dir.Path("ids.png"), dir.Path("ids.exr")}) {
    ColorImage color;
    IdImage ids;
    ASSERT_EQ(LoadFrameImages(colorPath, {}, idsPath, IdChannel::kMaterialEffects, "", color, ids),
              "");
    EXPECT_EQ(CheckSameSize(color, colorPath, ids, idsPath), "") << idsPath;
    ExpectPixels(color, {{1, 1, 0, 0, 0, 0}});
    EXPECT_EQ(color.pixels[1 * 5 + 2].a, 65535);
  }
}

TEST_F(ExrWindows, DataWindowOutsideTheFrameGivesABlankFrame) {
  const std::string path = dir.Path("away.exr");
  test::WriteExrParts(path, {{"",
                              Box(0, 0, 2, 1),
                              Box(5, 0, 6, 1),
                              {{"R", Imf::HALF, {1, 1, 1, 1}},
                               {"G", Imf::HALF, {1, 1, 1, 1}},
                               {"B", Imf::HALF, {1, 1, 1, 1}}}}});
  ColorImage color;
  ASSERT_EQ(LoadColor(path, color), "");
  ASSERT_EQ(color.pixels.size(), 6u);
  for (int i = 0; i < 6; ++i) ExpectPixels(color, {{i % 3, i / 3, 0, 0, 0, 0}});
}

// --- EXR parts -----------------------------------------------------------------

// A stereo pair as two parts, "left" and "right", each with its colour and
// object-index pass; the eyes differ in every value.
std::vector<test::ExrPart> StereoPair() {
  const Imath::Box2i frame = Box(0, 0, 2, 0);
  auto eye = [&](const std::string& name, float red, float id) {
    return test::ExrPart{name,
                         frame,
                         frame,
                         {{"R", Imf::HALF, {red, red, red}},
                          {"G", Imf::HALF, {0, 0.5f, 1}},
                          {"B", Imf::HALF, {0, 0, 0}},
                          {"A", Imf::HALF, {1, 1, 1}},
                          {"IndexOB.X", Imf::FLOAT, {id, id + 1, id + 2}}}};
  };
  return {eye("left", 0, 1), eye("right", 1, 7)};
}

TEST_F(ExrParts, PartNamesWorkLikeLayerNames) {
  const std::string path = dir.Path("stereo.exr");
  test::WriteExrParts(path, StereoPair());
  ColorImage color;
  IdImage ids;
  EXPECT_EQ(LoadColor(path, color),
            path + ": several colour layers (left, right); choose one with --color-layer");
  EXPECT_THAT(LoadIdImage(path, IdChannel::kObject, "", ids),
              HasSubstr("several object-index channels (left.IndexOB.X, right.IndexOB.X)"));
  ExrColorOptions right;
  right.layer = "right";
  ASSERT_EQ(LoadFrameImages(path, right, path, IdChannel::kObject, "right.IndexOB.X", color, ids),
            "");
  ExpectPixels(color, {{0, 0, 65535, 0, 0, 65535}});
  ExpectPixels(color, {{2, 0, 65535, 65535, 0, 65535}});
  EXPECT_THAT(ids.ids, ElementsAre(7, 8, 9));
}

// Colour in one part, index passes in another with a smaller data window:
// both are read in one call, each placed in the shared display window.
TEST_F(ExrParts, ColourAndIdsOfDifferentPartsAreReadTogether) {
  const std::string path = dir.Path("split.exr");
  const Imath::Box2i frame = Box(0, 0, 2, 1);
  test::WriteExrParts(path,
                      {{"beauty",
                        frame,
                        frame,
                        {{"R", Imf::HALF, {1, 0, 0, 0, 0, 1}},
                         {"G", Imf::HALF, {0, 1, 0, 0, 1, 0}},
                         {"B", Imf::HALF, {0, 0, 1, 1, 0, 0}}}},
                       {"passes", frame, Box(1, 1, 2, 1), {{"IndexMA.X", Imf::FLOAT, {4, 5}}}}});
  ColorImage color;
  IdImage ids;
  ASSERT_EQ(LoadFrameImages(path, {}, path, IdChannel::kMaterialEffects, "", color, ids), "");
  ExpectPixels(color, {{0, 0, 65535, 0, 0, 65535}});
  ExpectPixels(color, {{2, 1, 65535, 0, 0, 65535}});
  EXPECT_THAT(ids.ids, ElementsAre(0, 0, 0, 0, 4, 5));
}

TEST_F(ExrParts, DeepPartsAreNotRead) {
  const Imath::Box2i frame = Box(0, 0, 1, 0);
  const test::ExrPart deep{"deep",
                           frame,
                           frame,
                           {{"R", Imf::HALF, {1, 1}},
                            {"G", Imf::HALF, {1, 1}},
                            {"B", Imf::HALF, {1, 1}},
                            {"Z", Imf::FLOAT, {3, 4}}},
                           /*deep=*/true};
  const test::ExrPart flat{
      "flat",
      frame,
      frame,
      {{"R", Imf::HALF, {0, 1}}, {"G", Imf::HALF, {0, 0}}, {"B", Imf::HALF, {0, 0}}}};
  test::WriteExrParts(dir.Path("mixed.exr"), {flat, deep});
  test::WriteExrParts(dir.Path("deep.exr"), {deep});
  ColorImage color;
  ASSERT_EQ(LoadColor(dir.Path("mixed.exr"), color), "");
  ExpectPixels(color, {{1, 0, 65535, 0, 0, 65535}});
  ExrColorOptions deepLayer;
  deepLayer.layer = "deep";
  EXPECT_THAT(LoadColorImage(dir.Path("mixed.exr"), deepLayer, color),
              HasSubstr("no channels deep.R, .G, .B (deep parts are not read: \"deep\")"));
  EXPECT_EQ(LoadColor(dir.Path("deep.exr"), color),
            dir.Path("deep.exr") +
                ": deep image data (several samples per pixel) cannot be "
                "rendered; save the frame as a flat image");
}

// --- EXR in one pass ------------------------------------------------------------

bool SamePixels(const ColorImage& a, const ColorImage& b) {
  return a.width == b.width && a.height == b.height &&
         std::equal(a.pixels.begin(), a.pixels.end(), b.pixels.begin(), b.pixels.end(),
                    [](const Pixel64& p, const Pixel64& q) {
                      return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
                    });
}

// A multilayer frame of several bands (the rows decoded at a time) whose
// data window reaches past its display window, stored as scanlines and as
// tiles of 48 rows. Colour and IDs read together come out as each read
// alone from the scanlines, with any number of decoding threads.
TEST_F(ExrOnePass, GivesWhatSeparateReadsGiveFromScanlinesOrTilesWithAnyThreadCount) {
  const Imath::Box2i display = Box(0, 0, 2048, 202), data = Box(-3, -5, 2050, 207);
  const std::size_t count = std::size_t(2054) * 213;
  std::vector<float> shade, ids;
  for (std::size_t i = 0; i < count; ++i) {
    shade.push_back(float(i % 977) / 977);
    ids.push_back(float(i / 2054 % 7));
  }
  test::ExrPart part{"",
                     display,
                     data,
                     {{"ViewLayer.Combined.R", Imf::FLOAT, shade},
                      {"ViewLayer.Combined.G", Imf::HALF, ids},
                      {"ViewLayer.Combined.B", Imf::FLOAT, std::vector<float>(count, 0.5f)},
                      {"ViewLayer.IndexOB.X", Imf::FLOAT, ids}}};
  const std::string scanlines = dir.Path("scanlines.exr"), tiles = dir.Path("tiles.exr");
  test::WriteExrParts(scanlines, {part});
  part.tile = 48;
  test::WriteExrParts(tiles, {part});

  ColorImage alone;
  IdImage aloneIds;
  ASSERT_EQ(LoadColor(scanlines, alone), "");
  ASSERT_EQ(LoadIdImage(scanlines, IdChannel::kObject, "", aloneIds), "");
  ASSERT_EQ(alone.width, 2049);
  ASSERT_EQ(alone.height, 203);
  for (const std::string& path : {scanlines, tiles}) {
    for (int threads : {0, 3}) {
      SetExrDecodeThreads(threads);
      ColorImage color;
      IdImage together;
      ASSERT_EQ(LoadFrameImages(path, {}, path, IdChannel::kObject, "", color, together), "");
      EXPECT_TRUE(SamePixels(color, alone)) << path << ", " << threads << " threads";
      EXPECT_EQ(together.ids, aloneIds.ids) << path << ", " << threads << " threads";
    }
  }
  SetExrDecodeThreads(0);
}

TEST_F(ExrFailures, OversizeDataWindowAndBrokenFilesAreRefused) {
  const std::string wide = dir.Path("wide.exr");
  test::WriteExr(wide, 70000, 1, {{"Y", Imf::HALF, std::vector<float>(70000, 0.5f)}});
  ColorImage image;
  IdImage ids;
  EXPECT_THAT(LoadColor(wide, image), HasSubstr("70000 x 1 pixels is larger than 65535"));
  EXPECT_THAT(LoadIdImage(wide, IdChannel::kObject, "Y", ids), HasSubstr("larger than 65535"));
  // A frame of 4 x 1 whose data window claims 70000 pixels a row: OpenEXR
  // would set aside buffers for the claim, and refuses it by the limit.
  const std::string overscan = dir.Path("overscan.exr");
  test::WriteExrParts(overscan, {{"",
                                  Box(0, 0, 3, 0),
                                  Box(-40000, 0, 29999, 0),
                                  {{"Y", Imf::HALF, std::vector<float>(70000, 0.5f)}}}});
  EXPECT_THAT(LoadColor(overscan, image),
              HasSubstr("The width of the data window exceeds the maximum width of 65535"));

  const std::string cut = dir.Path("cut.exr");
  test::WriteExr(cut, 8, 8,
                 {{"R", Imf::FLOAT, std::vector<float>(64, 0.25f)},
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
