#include "pcx/pcx_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>
#include <vector>

#include "testing/pcx_decode.h"
#include "testing/scratch_dir.h"

namespace selvo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes TestPalette() {
  Bytes palette(768);
  for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i * 7 + 3);
  return palette;
}

// The run-length data between header and trailer.
Bytes DataSection(const Bytes& indices, int width, int height) {
  const Bytes file = EncodePcxToMemory(indices.data(), width, height, TestPalette().data());
  EXPECT_GE(file.size(), kPcxHeaderSize + kPcxTrailerSize);
  return Bytes(file.begin() + kPcxHeaderSize, file.end() - kPcxTrailerSize);
}

unsigned U16At(const Bytes& b, std::size_t offset) { return b[offset] | b[offset + 1] << 8; }

TEST(PcxEncoding, RunsOfOneTwoAndEscapedBytes) {
  EXPECT_EQ(DataSection({5, 5, 5, 200, 7, 7}, 3, 2), (Bytes{0xC3, 0x05, 0xC1, 0xC8, 0xC2, 0x07}));
  EXPECT_EQ(EncodePcxToMemory(Bytes{5, 5, 5, 200, 7, 7}.data(), 3, 2, TestPalette().data()).size(),
            903u);
  EXPECT_EQ(DataSection({0xC0}, 1, 1), (Bytes{0xC1, 0xC0}));
  EXPECT_EQ(DataSection({0xBF}, 1, 1), (Bytes{0xBF}));
  EXPECT_EQ(DataSection({0xFF, 0xFF}, 2, 1), (Bytes{0xC2, 0xFF}));
}

TEST(PcxEncoding, RunsStopAtSixtyThreeBytesAndAtEveryScanline) {
  EXPECT_EQ(DataSection(Bytes(100, 0x10), 100, 1), (Bytes{0xFF, 0x10, 0xE5, 0x10}));
  EXPECT_EQ(DataSection({9, 9, 9, 9}, 2, 2), (Bytes{0xC2, 0x09, 0xC2, 0x09}));
  EXPECT_EQ(DataSection(Bytes(126, 1), 126, 1), (Bytes{0xFF, 1, 0xFF, 1}));
}

TEST(PcxEncoding, HeaderDescribesAnUnpaddedEightBitImage) {
  const Bytes file = EncodePcxToMemory(Bytes(7 * 4, 1).data(), 7, 4, TestPalette().data());
  EXPECT_EQ(file[0], 0x0A);
  EXPECT_EQ(file[1], 5);
  EXPECT_EQ(file[2], 1);
  EXPECT_EQ(file[3], 8);
  EXPECT_EQ(U16At(file, 4), 0u);
  EXPECT_EQ(U16At(file, 6), 0u);
  EXPECT_EQ(U16At(file, 8), 6u);
  EXPECT_EQ(U16At(file, 10), 3u);
  EXPECT_EQ(file[65], 1);
  EXPECT_EQ(U16At(file, 66), 7u) << "odd widths are not padded";
  for (std::size_t i : {12, 13, 14, 15, 64, 68, 69}) EXPECT_EQ(file[i], 0) << i;
  for (std::size_t i = 16; i < 64; ++i) EXPECT_EQ(file[i], 0) << i;
  for (std::size_t i = 70; i < 128; ++i) EXPECT_EQ(file[i], 0) << i;

  const Bytes single = EncodePcxToMemory(Bytes{3}.data(), 1, 1, TestPalette().data());
  EXPECT_EQ(U16At(single, 8), 0u);
  EXPECT_EQ(U16At(single, 10), 0u);
}

TEST(PcxEncoding, TrailerIsTheMarkerAndThePalette) {
  const Bytes palette = TestPalette();
  const Bytes file = EncodePcxToMemory(Bytes{1, 2}.data(), 2, 1, palette.data());
  EXPECT_EQ(file[file.size() - 769], 0x0C);
  EXPECT_EQ(Bytes(file.end() - 768, file.end()), palette);
}

// The shared decoder is strict: it also fails on a run that crosses the end
// of a scanline.
TEST(PcxEncoding, RandomImagesDecodeBackToTheirIndices) {
  std::mt19937 random(11);
  const Bytes palette = TestPalette();
  for (int round = 0; round < 200; ++round) {
    const int width = 1 + random() % 150;
    const int height = 1 + random() % 5;
    Bytes indices(std::size_t(width) * height);
    // Few distinct values, so that long runs and escapes both occur.
    for (auto& v : indices) v = uint8_t(0xBE + random() % 4);
    const test::DecodedPcx decoded =
        test::DecodePcx(EncodePcxToMemory(indices.data(), width, height, palette.data()));
    ASSERT_TRUE(decoded.ok) << width << "x" << height;
    EXPECT_EQ(decoded.width, width);
    EXPECT_EQ(decoded.height, height);
    EXPECT_EQ(decoded.indices, indices) << width << "x" << height;
    EXPECT_EQ(decoded.palette, palette);
  }
}

// What the tests' decoder must refuse for the test above to prove that
// runs stop at every scanline: the same 2 x 2 image as one run of four.
TEST(PcxEncoding, TheTestDecoderRefusesARunAcrossScanlines) {
  Bytes file = EncodePcxToMemory(Bytes{9, 9, 9, 9}.data(), 2, 2, TestPalette().data());
  ASSERT_TRUE(test::DecodePcx(file).ok);
  const Bytes oneRun = {0xC4, 0x09};
  file.erase(file.begin() + kPcxHeaderSize, file.end() - kPcxTrailerSize);
  file.insert(file.begin() + kPcxHeaderSize, oneRun.begin(), oneRun.end());
  EXPECT_FALSE(test::DecodePcx(file).ok);
}

TEST(PcxEncoding, ImagesWithoutPixelsOrTooLargeAreRefused) {
  const Bytes palette = TestPalette();
  const uint8_t pixel = 0;
  EXPECT_TRUE(EncodePcxToMemory(&pixel, 0, 1, palette.data()).empty());
  EXPECT_TRUE(EncodePcxToMemory(&pixel, 1, 0, palette.data()).empty());
  EXPECT_TRUE(EncodePcxToMemory(&pixel, 65536, 1, palette.data()).empty());
}

class PcxFile : public ::testing::Test {
 protected:
  static Bytes Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  std::size_t FileCount() const { return scratch_.Files().size(); }

  test::ScratchDir scratch_;
  const fs::path& folder_ = scratch_.root();
};

// The command line's writer and the module's in-place one agree on
// everything but what a failed write leaves behind.
const std::pair<const char*, decltype(&WritePcx)> kWriters[] = {
    {"WritePcx", WritePcx}, {"WritePcxInPlace", WritePcxInPlace}};

TEST_F(PcxFile, WritesTheEncodingAndReplacesAnOlderFile) {
  const Bytes palette = TestPalette();
  const fs::path path = folder_ / "frame0001.pcx";
  const Bytes indices = {1, 1, 0xC7};
  for (const auto& [name, write] : kWriters) {
    std::ofstream(path) << "an older, longer file that must not shine through";
    ASSERT_EQ(write(path.string(), indices.data(), 3, 1, palette.data()), "") << name;
    EXPECT_EQ(Read(path), EncodePcxToMemory(indices.data(), 3, 1, palette.data())) << name;
    EXPECT_EQ(FileCount(), 1u) << name;
  }
}

TEST_F(PcxFile, UncreatableFileSaysWhyAndLeavesNothing) {
  const Bytes palette = TestPalette();
  const uint8_t pixel = 4;
  const std::string missing = (folder_ / "missing" / "a.pcx").string();
  const std::string empty = (folder_ / "a.pcx").string();
  for (const auto& [name, write] : kWriters) {
    EXPECT_EQ(write(missing, &pixel, 1, 1, palette.data()),
              missing + ": cannot create file: No such file or directory")
        << name;
    EXPECT_EQ(write(empty, &pixel, 0, 1, palette.data()),
              empty + ": 0 x 1 pixels cannot be a PCX file")
        << name;
    EXPECT_EQ(FileCount(), 0u) << name;
  }
}

// Writes a 300 x 300 noise frame over a 3-byte older file with the disk
// "full" after 4 KiB (a file-size limit); returns the writer's error.
std::string WriteIntoFullDisk(decltype(&WritePcx) write, const fs::path& path) {
  const Bytes older = {1, 2, 3};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(older.data()), 3);
  std::mt19937 random(3);
  Bytes noise(300 * 300);
  for (auto& v : noise) v = uint8_t(random());

  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  if (setrlimit(RLIMIT_FSIZE, &small) != 0) return "setrlimit failed";
  const std::string error = write(path.string(), noise.data(), 300, 300, TestPalette().data());
  setrlimit(RLIMIT_FSIZE, &saved);
  return error;
}

TEST_F(PcxFile, WriteThatFailsPartWayLeavesNoTruncatedFile) {
  const fs::path path = folder_ / "big0001.pcx";
  EXPECT_EQ(WriteIntoFullDisk(WritePcx, path),
            path.string() + ": cannot write file: File too large");
  EXPECT_EQ(Read(path), Bytes({1, 2, 3})) << "the earlier frame survives";
  EXPECT_EQ(FileCount(), 1u) << "no partial file is left beside it";
}

// Writing in place cannot keep the earlier frame, but never leaves a
// truncated one that looks complete.
TEST_F(PcxFile, InPlaceWriteThatFailsPartWayRemovesThePartialFile) {
  const fs::path path = folder_ / "big0001.pcx";
  EXPECT_EQ(WriteIntoFullDisk(WritePcxInPlace, path),
            path.string() + ": cannot write file: File too large");
  EXPECT_EQ(FileCount(), 0u);
}

TEST_F(PcxFile, LongNamesStillGetATemporaryFileThatFits) {
  const std::string name(250, 'q');
  const fs::path path = folder_ / (name + ".pcx");
  const uint8_t pixel = 9;
  ASSERT_EQ(WritePcx(path.string(), &pixel, 1, 1, TestPalette().data()), "");
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(FileCount(), 1u);
}

}  // namespace
}  // namespace selvo
