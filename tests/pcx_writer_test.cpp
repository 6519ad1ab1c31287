#include "pcx/pcx_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "tests/scratch_dir.h"

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

// An independent decoder for the written subset of the format.
Bytes DecodeRle(const Bytes& data, std::size_t pixelCount) {
  Bytes out;
  for (std::size_t p = 0; p < data.size() && out.size() < pixelCount;) {
    const uint8_t c = data[p++];
    if ((c & 0xC0) == 0xC0) {
      out.insert(out.end(), c & 0x3F, data.at(p++));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

unsigned U16At(const Bytes& b, std::size_t offset) { return b[offset] | b[offset + 1] << 8; }

TEST(PcxEncoding, RunsOfOneTwoAndEscapedBytes) {
  EXPECT_EQ(DataSection({5, 5, 5, 200, 7, 7}, 3, 2),
            (Bytes{0xC3, 0x05, 0xC1, 0xC8, 0xC2, 0x07}));
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

TEST(PcxEncoding, RandomImagesDecodeBackToTheirIndices) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    const int width = 1 + random() % 150;
    const int height = 1 + random() % 5;
    Bytes indices(std::size_t(width) * height);
    // Few distinct values, so that long runs and escapes both occur.
    for (auto& v : indices) v = uint8_t(0xBE + random() % 4);
    const Bytes data = DataSection(indices, width, height);
    EXPECT_EQ(DecodeRle(data, indices.size()), indices) << width << "x" << height;
    // Every scanline decodes on its own: no run crosses a line end.
    std::size_t p = 0;
    for (int y = 0; y < height; ++y) {
      std::size_t lineBytes = 0;
      while (lineBytes < std::size_t(width)) {
        const uint8_t c = data.at(p++);
        lineBytes += (c & 0xC0) == 0xC0 ? (p++, c & 0x3F) : 1;
      }
      ASSERT_EQ(lineBytes, std::size_t(width)) << "line " << y;
    }
  }
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

TEST_F(PcxFile, WritesTheEncodingAndReplacesAnOlderFile) {
  const Bytes palette = TestPalette();
  const fs::path path = folder_ / "frame0001.pcx";
  std::ofstream(path) << "an older, longer file that must not shine through";
  const Bytes indices = {1, 1, 0xC7};
  ASSERT_EQ(WritePcx(path.string(), indices.data(), 3, 1, palette.data()), "");
  EXPECT_EQ(Read(path), EncodePcxToMemory(indices.data(), 3, 1, palette.data()));
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PcxFile, UncreatableFileSaysWhyAndLeavesNothing) {
  const Bytes palette = TestPalette();
  const uint8_t pixel = 4;
  const std::string missing = (folder_ / "missing" / "a.pcx").string();
  EXPECT_EQ(WritePcx(missing, &pixel, 1, 1, palette.data()),
            missing + ": cannot create file: No such file or directory");
  const std::string empty = (folder_ / "a.pcx").string();
  EXPECT_EQ(WritePcx(empty, &pixel, 0, 1, palette.data()),
            empty + ": 0 x 1 pixels cannot be a PCX file");
  EXPECT_EQ(FileCount(), 0u);
}

TEST_F(PcxFile, WriteThatFailsPartWayLeavesNoTruncatedFile) {
  // A file-size limit makes the disk "full" after 4 KiB.
  const fs::path path = folder_ / "big0001.pcx";
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
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string error = WritePcx(path.string(), noise.data(), 300, 300, TestPalette().data());
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_EQ(error, path.string() + ": cannot write file: File too large");
  EXPECT_EQ(Read(path), older) << "the earlier frame survives";
  EXPECT_EQ(FileCount(), 1u) << "no partial file is left beside it";
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
