// The plain PNG decoder against libpng: the same pixels from every plain
// file, and libpng's verdict on every other or damaged one.
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "imageio/png/png_io.h"
#include "testing/test_files.h"

namespace selvo {
namespace {

using test::PngLayout;
using test::ScratchDir;
using ::testing::HasSubstr;

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

// The first IDAT chunk, after the signature and the header chunk; its data
// start with the zlib header, CMF then FLG.
constexpr std::size_t kFirstIdat = 8 + 25;
constexpr std::size_t kCmf = kFirstIdat + 8;

// The zlib header's window field (CINFO, the top of CMF), with FLG's check
// bits made to fit and the chunk's CRC right.
void SetWindowField(std::vector<uint8_t>& png, int field) {
  png[kCmf] = uint8_t(field << 4 | (png[kCmf] & 0x0F));
  png[kCmf + 1] &= 0xE0;
  png[kCmf + 1] |= uint8_t((31 - (png[kCmf] * 256 + png[kCmf + 1]) % 31) % 31);
  FixCrc(png, kFirstIdat);
}

// zlib, which libpng inflates with, keeps only the window a stream declares
// and refuses a window field above 7 or a back-reference past the window;
// ISA-L keeps 32 KB whatever the field says. Such files go to libpng.
TEST(PlainPng, WindowsZlibRefusesAreLeftToLibpng) {
  ScratchDir dir;
  // 16-bit RGBA rows of 2049 stored bytes that repeat every 10 rows: the
  // compressor refers 20 KB back, past a window of 256 bytes or of 16 KB.
  const int width = 256, height = 30, period = 10;
  const std::vector<uint16_t> rows = RandomSamples(std::size_t(width) * 4 * period, 16, 5);
  std::vector<uint16_t> samples;
  for (int y = 0; y < height; y += period) samples.insert(samples.end(), rows.begin(), rows.end());
  PngLayout layout;
  layout.filter = PNG_FILTER_NONE;
  const std::string good = dir.Path("good.png");
  test::WritePng(good, width, height, PNG_COLOR_TYPE_RGB_ALPHA, 16, samples, {}, false, layout);
  const std::vector<uint8_t> png = test::ReadBytes(good);
  ASSERT_EQ(png[kCmf], 0x78);  // deflate with a 32 KB window
  const Reads whole(good);
  ASSERT_EQ(whole.plainError, "");
  EXPECT_TRUE(SameImage(whole.plain, whole.libpng));

  const std::pair<int, const char*> windows[] = {{8, "invalid window size"},
                                                 {15, "invalid window size"},
                                                 {0, "invalid distance too far back"},
                                                 {6, "invalid distance too far back"}};
  for (const auto& [field, refusal] : windows) {
    std::vector<uint8_t> bytes = png;
    SetWindowField(bytes, field);
    const std::string path = dir.Path("window" + std::to_string(field) + ".png");
    test::WriteBytes(path, bytes);
    const Reads reads(path);
    EXPECT_NE(reads.plainError, "") << "window field " << field;
    EXPECT_THAT(reads.libpngError, HasSubstr(refusal)) << "window field " << field;
    EXPECT_EQ(reads.anyError, reads.libpngError) << "window field " << field;
  }

  // libpng writes a small image's window no larger than it needs: a window
  // that holds all the image data holds every reference.
  const std::string small = dir.Path("small.png");
  test::WritePng(small, 13, 7, PNG_COLOR_TYPE_RGB, 8, RandomSamples(273, 8, 6));
  ASSERT_LT(test::ReadBytes(small)[kCmf] >> 4, 7);
  const Reads reads(small);
  ASSERT_EQ(reads.plainError, "");
  EXPECT_TRUE(SameImage(reads.plain, reads.libpng));
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
  wrongZlibHeader[kFirstIdat + 9] ^= 1;  // FLG: its check bits no longer fit
  FixCrc(wrongZlibHeader, kFirstIdat);
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
