// The plain PNG decoder against libpng: the same pixels from every plain
// file, and libpng's verdict on every other or damaged one.
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "imageio/png/png_io.h"
#include "tests/cli/test_files.h"

namespace selvo {
namespace {

using test::PngLayout;
using test::ScratchDir;

std::vector<uint16_t> RandomSamples(std::size_t count, int bitDepth, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint16_t> samples(count);
  // A random walk: neighbours close together, as in rendered frames, with
  // the ties between neighbours that filters must break as libpng does.
  int level = 0;
  for (uint16_t& s : samples)
    s = uint16_t((level += int(random() % 7) - 3) & ((1 << bitDepth) - 1));
  return samples;
}

bool SameImage(const ColorImage& a, const ColorImage& b) {
  return a.width == b.width && a.height == b.height && a.pixels.size() == b.pixels.size() &&
         std::memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(Pixel64)) == 0;
}

// Reads `path` with every decoder: the plain one must give libpng's image,
// or decline.
struct Reads {
  explicit Reads(const std::string& path)
      : plainError(ReadPngColor(path, plain, PngDecoder::kPlainOnly)),
        libpngError(ReadPngColor(path, libpng, PngDecoder::kLibpng)),
        anyError(ReadPngColor(path, any, PngDecoder::kAny)) {}
  ColorImage plain, libpng, any;
  std::string plainError, libpngError, anyError;
};

TEST(PlainPng, DecodesEveryPlainKindWithEveryFilterAsLibpngDoes) {
  ScratchDir dir;
  const std::pair<int, int> kinds[] = {{PNG_COLOR_TYPE_GRAY, 1},
                                       {PNG_COLOR_TYPE_GRAY_ALPHA, 2},
                                       {PNG_COLOR_TYPE_RGB, 3},
                                       {PNG_COLOR_TYPE_RGB_ALPHA, 4}};
  const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                         PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};
  uint32_t seed = 0;
  for (const auto& [colorType, channels] : kinds)
    for (int bitDepth : {8, 16})
      for (int filter : filters) {
        // Small chunks split rows, samples and the zlib trailer across them.
        PngLayout layout;
        layout.filter = filter;
        layout.idatBytes = ++seed % 2 ? 37 : 0;
        layout.textChunks = seed % 3 == 0;
        const int width = 13, height = 7;
        const std::string path = dir.Path("plain" + std::to_string(seed) + ".png");
        test::WritePng(path, width, height, colorType, bitDepth,
                       RandomSamples(std::size_t(width) * height * channels, bitDepth, seed), {},
                       false, layout);
        const Reads reads(path);
        const std::string what = "colour type " + std::to_string(colorType) + ", " +
                                 std::to_string(bitDepth) + " bits, filter " +
                                 std::to_string(filter);
        ASSERT_EQ(reads.plainError, "") << what;
        ASSERT_EQ(reads.libpngError, "") << what;
        EXPECT_TRUE(SameImage(reads.plain, reads.libpng)) << what;
      }
}

TEST(PlainPng, ReadsIdsAsLibpngDoes) {
  ScratchDir dir;
  for (int bitDepth : {8, 16}) {
    const std::string path = dir.Path("ids" + std::to_string(bitDepth) + ".png");
    test::WritePng(path, 11, 5, PNG_COLOR_TYPE_GRAY, bitDepth, RandomSamples(55, bitDepth, 7));
    IdImage plain, libpng;
    ASSERT_EQ(ReadPngIds(path, plain, PngDecoder::kPlainOnly), "");
    ASSERT_EQ(ReadPngIds(path, libpng, PngDecoder::kLibpng), "");
    EXPECT_EQ(plain.ids, libpng.ids);
  }
}

TEST(PlainPng, LeavesEveryOtherKindToLibpng) {
  ScratchDir dir;
  test::WritePng(dir.Path("palette.png"), 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0},
                 {1, 2, 3, 4, 5, 6});
  test::WritePng(dir.Path("grey4.png"), 3, 1, PNG_COLOR_TYPE_GRAY, 4, {0, 7, 15});
  test::WritePng(dir.Path("adam7.png"), 9, 7, PNG_COLOR_TYPE_RGB, 8, RandomSamples(189, 8, 1), {},
                 /*interlaced=*/true);
  for (const char* name : {"palette.png", "grey4.png", "adam7.png"}) {
    const Reads reads(dir.Path(name));
    EXPECT_NE(reads.plainError, "") << name;
    ASSERT_EQ(reads.anyError, "") << name;
    EXPECT_TRUE(SameImage(reads.any, reads.libpng)) << name;
  }
  // An RGB image is plain as colour, but IDs are greyscale.
  test::WritePng(dir.Path("rgb.png"), 1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3});
  IdImage ids;
  EXPECT_NE(ReadPngIds(dir.Path("rgb.png"), ids, PngDecoder::kPlainOnly), "");
}

// The data length of the chunk that starts at `at`.
uint32_t ChunkLength(const std::vector<uint8_t>& png, std::size_t at) {
  return uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
}

// Start of the chunk of `type` that comes last.
std::size_t LastChunk(const std::vector<uint8_t>& png, const char* type) {
  std::size_t found = 0;
  for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + ChunkLength(png, at))
    if (std::memcmp(&png[at + 4], type, 4) == 0) found = at;
  return found;
}

// Sets the CRC of the chunk at `at` right for what it holds now.
void FixCrc(std::vector<uint8_t>& png, std::size_t at) {
  const uint32_t length = ChunkLength(png, at);
  const uint32_t crc = uint32_t(crc32(0, &png[at + 4], 4 + length));
  for (int i = 0; i < 4; ++i) png[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
}

TEST(PlainPng, DamagedFilesGetLibpngsVerdict) {
  ScratchDir dir;
  const std::string good = dir.Path("good.png");
  PngLayout layout;
  layout.idatBytes = 200;
  test::WritePng(good, 20, 10, PNG_COLOR_TYPE_RGB_ALPHA, 16, RandomSamples(800, 16, 3), {}, false,
                 layout);
  const std::vector<uint8_t> png = test::ReadBytes(good);
  const std::size_t idat = LastChunk(png, "IDAT");
  const std::size_t iend = LastChunk(png, "IEND");
  ASSERT_GT(idat, 0u);
  const std::size_t adler = iend - 8;  // the zlib stream's last 4 bytes, before the CRC

  std::vector<uint8_t> wrongAdler = png;
  wrongAdler[adler + 3] ^= 1;
  FixCrc(wrongAdler, idat);
  std::vector<uint8_t> wrongData = png;
  wrongData[idat + 8 + 5] ^= 0x40;
  FixCrc(wrongData, idat);
  std::vector<uint8_t> wrongCrc = png;
  wrongCrc[iend - 1] ^= 1;
  std::vector<uint8_t> wrongZlibHeader = png;
  const std::size_t firstIdat = 8 + 25;  // after the signature and the header chunk
  wrongZlibHeader[firstIdat + 9] ^= 1;   // FLG: its check bits no longer fit
  FixCrc(wrongZlibHeader, firstIdat);
  const std::vector<uint8_t> cut(png.begin(), png.begin() + idat + 20);
  const std::vector<uint8_t> noEnd(png.begin(), png.begin() + iend);

  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"wrong_adler", wrongAdler}, {"wrong_data", wrongData},
      {"wrong_crc", wrongCrc},     {"wrong_zlib_header", wrongZlibHeader},
      {"cut_in_image_data", cut},  {"no_end", noEnd}};
  for (const auto& [name, bytes] : cases) {
    const std::string path = dir.Path(std::string(name) + ".png");
    test::WriteBytes(path, bytes);
    const Reads reads(path);
    EXPECT_NE(reads.plainError, "") << name;
    EXPECT_NE(reads.libpngError, "") << name;
    EXPECT_EQ(reads.anyError, reads.libpngError) << name;
  }
}

}  // namespace
}  // namespace selvo
