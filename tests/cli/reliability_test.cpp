// Regressions found by fuzzing and by the malformed-input corpus: files whose
// headers promise far more pixels than they hold, and outputs that are
// devices rather than files.
#include <sys/resource.h>
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "files/atomic_file.h"
#include "cli/image_loader.h"
#include "cli/printable.h"
#include "tests/cli/test_files.h"

namespace selvo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kCorpus = SELVO_BAD_CORPUS;

// The process's peak resident memory so far, in MB.
long PeakResidentMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

bool IsCharacterDevice(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISCHR(status.st_mode);
}

// A 60000 x 60000 promise in a small file must fail before the loader sets
// aside the gigabytes that the promise would need.
TEST(HugeClaims, PngIsRefusedBeforeItsRowsAreAllocated) {
  const std::string path = kCorpus + "/png/huge_claim.png";
  const long before = PeakResidentMb();
  ColorImage color;
  EXPECT_EQ(LoadColorImage(path, ExrColorOptions{}, color),
            path + ": not a readable PNG file (60000 x 60000 pixels cannot fit in its 196 bytes)");
  IdImage ids;
  EXPECT_THAT(LoadIdImage(path, kMaterialEffectsSelector, "", ids), HasSubstr("cannot fit"));
  EXPECT_LT(PeakResidentMb() - before, 256);
}

TEST(HugeClaims, ExrWithACompleteOffsetTableFailsOnItsFirstRows) {
  const std::string path = kCorpus + "/exr/huge_claim_full_table.exr";
  const long before = PeakResidentMb();
  ColorImage color;
  const std::string error = LoadColorImage(path, ExrColorOptions{}, color);
  EXPECT_THAT(error, StartsWith(path + ": "));
  EXPECT_LT(PeakResidentMb() - before, 256);
}

// OpenEXR sets aside what an attribute's size field claims before reading
// it; a claim past the end of the file is refused before OpenEXR opens it.
TEST(HugeClaims, ExrAttributeLargerThanTheFileIsRefused) {
  const std::string path = kCorpus + "/exr/attribute_claims_2gb.exr";
  IdImage ids;
  EXPECT_EQ(LoadIdImage(path, kObjectSelector, "", ids),
            path + ": cannot read EXR (attribute \"comments\" claims 2147483632 bytes, more "
                   "than the file holds)");
}

// The rows of a real image still arrive whole and in place when they span
// several bands: 4096 x 200 pixels, away from the origin, row y at y / 256.
TEST(HugeClaims, ExrOfSeveralBandsReadsEveryRow) {
  test::ScratchDir dir;
  const int width = 4096, height = 200;
  std::vector<float> rows(std::size_t(width) * height);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = float(i / width) / 256;
  test::WriteExr(dir.Path("tall.exr"), width, height,
                 {{"R", Imf::FLOAT, rows}, {"G", Imf::FLOAT, rows}, {"B", Imf::FLOAT, rows}},
                 /*originX=*/5, /*originY=*/-7);
  ColorImage color;
  ASSERT_EQ(LoadColorImage(dir.Path("tall.exr"), ExrColorOptions{/*linear=*/true, ""}, color), "");
  ASSERT_EQ(color.width, width);
  ASSERT_EQ(color.height, height);
  for (int y = 0; y < height; ++y) {
    const uint16_t level = uint16_t(y * 65535 / 256.0 + 0.5);
    for (int x : {0, 1, width - 1})
      ASSERT_EQ(color.pixels[std::size_t(y) * width + x].g, level) << x << ", " << y;
  }
}

// Names from a file reach the error line escaped: a newline in an EXR
// channel name or a settings block's output name must not break it, nor an
// escape sequence reach the terminal.
TEST(ErrorLines, ControlCharactersFromFilesAreEscaped) {
  const std::string path = kCorpus + "/exr/control_characters_in_names.exr";
  ColorImage color;
  EXPECT_EQ(LoadColorImage(path, ExrColorOptions{}, color),
            path + ": no colour channels (R, G, B) among \\x0DG, evil\\x0A\\x1B[31mR");
  EXPECT_EQ(Printable("a\tb\x7F\xC3\xA9"), "a\\x09b\\x7F\xC3\xA9");  // UTF-8 stays
}

// What is not text is escaped byte by byte: C1 controls even when encoded
// in UTF-8 (U+009B is the one-byte CSI), overlong forms, surrogates, code
// points past U+10FFFF, stray and cut-off sequences.
TEST(ErrorLines, OnlyWellFormedPrintableUtf8StaysAsItIs) {
  EXPECT_EQ(Printable("\xE2\x82\xAC \xF0\x9F\x8E\xA8 \xC2\xA0"),
            "\xE2\x82\xAC \xF0\x9F\x8E\xA8 \xC2\xA0");  // euro, palette emoji, NBSP
  EXPECT_EQ(Printable("\xC2\x9B"), "\\xC2\\x9B");
  EXPECT_EQ(Printable("\xC0\xAF"), "\\xC0\\xAF");
  EXPECT_EQ(Printable("\xED\xA0\x80"), "\\xED\\xA0\\x80");
  EXPECT_EQ(Printable("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");
  EXPECT_EQ(Printable("\xA9x"), "\\xA9x");
  EXPECT_EQ(Printable("x\xE2\x82"), "x\\xE2\\x82");
  EXPECT_EQ(Printable("C:\\frames\\"), "C:\\frames\\");  // paths keep their backslashes
}

// Renaming a finished file over /dev/full would replace the device itself
// with a regular file (root may do that); a device is written in place.
TEST(AtomicFile, DeviceIsWrittenInPlaceAndStaysADevice) {
  auto writeSome = [](std::FILE* file) -> std::string {
    return std::fputs("some bytes", file) >= 0 ? "" : "cannot write file";
  };
  EXPECT_THAT(WriteFileAtomically("/dev/full", writeSome),
              StartsWith("/dev/full: cannot write file: No space left on device"));
  EXPECT_TRUE(IsCharacterDevice("/dev/full"));
  EXPECT_EQ(WriteFileAtomically("/dev/null", writeSome), "");
  EXPECT_TRUE(IsCharacterDevice("/dev/null"));
  for (const auto& entry : std::filesystem::directory_iterator("/dev"))
    EXPECT_THAT(entry.path().filename().string(), Not(HasSubstr(".partial")));
}

}  // namespace
}  // namespace selvo
