// PCX frames read back as other programs write them, beyond the strict
// layout of selvo's own writer (which the sheet's end-to-end test reads):
// padded scanlines, runs across them, and files that must be refused.
#include <gtest/gtest.h>

#include <vector>

#include "imageio/pcx/pcx_io.h"
#include "pcx/pcx_writer.h"
#include "testing/scratch_dir.h"

namespace selvo {
namespace {

// A 3 x 2 version-5 header with 4 bytes per line, then `data`, then the
// trailer of a palette whose entry k is (k, k, k) when `trailer`.
std::vector<uint8_t> PaddedPcx(const std::vector<uint8_t>& data, bool trailer = true) {
  std::vector<uint8_t> file(kPcxHeaderSize, 0);
  file[0] = 0x0A, file[1] = 5, file[2] = 1, file[3] = 8;
  file[8] = 2, file[10] = 1;   // Xmax, Ymax
  file[65] = 1, file[66] = 4;  // one plane, 4 bytes per line
  for (const uint8_t byte : data) file.push_back(byte);
  if (!trailer) file.resize(file.size() + kPcxTrailerSize, 0);
  else file.push_back(kPcxPaletteMarker);
  for (int k = 0; trailer && k < 256; ++k) file.insert(file.end(), 3, uint8_t(k));
  return file;
}

TEST(PcxInput, PaddedScanlinesAndRunsAcrossThem) {
  const test::ScratchDir scratch;
  const std::string path = scratch.Path("padded.pcx");
  // Row 0: 7 8 9 and the pad 0; then a run of 5 x 200 over row 1 and its pad.
  test::WriteBytes(path, PaddedPcx({7, 8, 9, 0, 0xC5, 200}));
  PcxImage image;
  ASSERT_EQ(ReadPcxImage(path, image), "");
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.indices, (std::vector<uint8_t>{7, 8, 9, 200, 200, 200}));
  EXPECT_EQ(image.palette[3 * 77], 77);
}

TEST(PcxInput, RefusesWhatItCannotReadAndNamesTheFile) {
  const test::ScratchDir scratch;
  const std::string path = scratch.Path("bad.pcx");
  const auto error = [&](const std::vector<uint8_t>& bytes) {
    test::WriteBytes(path, bytes);
    PcxImage image;
    image.width = 9;
    const std::string message = ReadPcxImage(path, image);
    EXPECT_EQ(image.width, 9) << "changed by a refused file";
    return message;
  };
  EXPECT_EQ(error(PaddedPcx({7, 8, 9, 0, 0xC2, 200})),
            path + ": the image data ends before its last scanline");
  EXPECT_EQ(error(PaddedPcx({7, 8, 9, 0, 1, 2, 3, 0}, false)),
            path + ": no 256-colour palette at the end (0x0C 769 bytes before it)");
  std::vector<uint8_t> fourPlanes = PaddedPcx({});
  fourPlanes[65] = 4;
  EXPECT_EQ(error(fourPlanes),
            path + ": not an 8-bit, one-plane, run-length-encoded PCX file (version 5)");
  EXPECT_EQ(error({1, 2, 3}), path + ": too short for a 256-colour PCX file (3 bytes)");
}

}  // namespace
}  // namespace selvo
