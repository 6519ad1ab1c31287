#include "pcx/pcx_palette.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "pcx/pcx_writer.h"
#include "testing/scratch_dir.h"

namespace selvo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class PcxPalette : public ::testing::Test {
 protected:
  PcxPalette() {
    for (int i = 0; i < 768; ++i) palette_[i] = uint8_t(255 - i % 256);
  }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path.string();
  }
  std::string WrittenPcx() {
    const Bytes indices = {0xC5, 1, 2, 3, 4, 5};
    return Write("ours.pcx", EncodePcxToMemory(indices.data(), 3, 2, palette_));
  }
  // A 16-colour PCX: version 5, 4 bits, 1 plane, no trailer.
  std::string SixteenColourPcx() {
    Bytes file(128 + 1000, 0x11);
    file[0] = 0x0A;
    file[1] = 5;
    file[2] = 1;
    file[3] = 4;
    file[65] = 1;
    for (std::size_t i = 128; i < file.size(); ++i) file[i] = uint8_t(i);
    return Write("sixteen.pcx", file);
  }

  uint8_t palette_[768];
  test::ScratchDir scratch_;
  const fs::path& folder_ = scratch_.root();
};

TEST_F(PcxPalette, ReadsBackThePaletteItWasWrittenWith) {
  uint8_t read[768] = {};
  EXPECT_TRUE(ReadPcxPalette(WrittenPcx(), read));
  EXPECT_EQ(Bytes(read, read + 768), Bytes(palette_, palette_ + 768));
  EXPECT_TRUE(HasPaletteTrailer(WrittenPcx()));
}

TEST_F(PcxPalette, AnyFileYieldsItsLastBytesButOnlyRealTrailersPassTheCheck) {
  const std::string path = SixteenColourPcx();
  uint8_t read[768] = {};
  EXPECT_TRUE(ReadPcxPalette(path, read));
  for (int i = 0; i < 768; ++i) ASSERT_EQ(read[i], uint8_t(128 + 1000 - 768 + i)) << i;
  EXPECT_FALSE(HasPaletteTrailer(path));
}

TEST_F(PcxPalette, MissingOrShortFilesLeaveTheDestinationUntouched) {
  uint8_t read[768];
  std::fill(std::begin(read), std::end(read), 0x5A);
  EXPECT_FALSE(ReadPcxPalette((folder_ / "absent.pcx").string(), read));
  EXPECT_FALSE(ReadPcxPalette(Write("short.pcx", Bytes(767, 1)), read));
  EXPECT_FALSE(ReadPcxPalette(folder_.string(), read)) << "a folder is no palette";
  for (uint8_t v : read) ASSERT_EQ(v, 0x5A);
  EXPECT_FALSE(HasPaletteTrailer((folder_ / "absent.pcx").string()));
  EXPECT_FALSE(HasPaletteTrailer(Write("tiny.pcx", Bytes{0x0A, 5, 1, 8})));
}

TEST_F(PcxPalette, TrailerCheckLooksAtHeaderAndMarker) {
  Bytes file = EncodePcxToMemory(Bytes{1}.data(), 1, 1, palette_);
  ASSERT_TRUE(HasPaletteTrailer(Write("good.pcx", file)));
  auto withByte = [&](std::size_t offset, uint8_t value) {
    Bytes changed = file;
    changed[offset] = value;
    return HasPaletteTrailer(Write("changed.pcx", changed));
  };
  EXPECT_FALSE(withByte(0, 0x0B)) << "manufacturer";
  EXPECT_FALSE(withByte(1, 3)) << "version";
  EXPECT_FALSE(withByte(3, 4)) << "bits per pixel";
  EXPECT_FALSE(withByte(65, 3)) << "24-bit planes";
  EXPECT_FALSE(withByte(file.size() - 769, 0x0D)) << "marker";
}

}  // namespace
}  // namespace selvo
