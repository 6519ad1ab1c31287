// Regressions found by fuzzing and by the malformed-input corpus: files whose
// headers promise far more pixels than they hold, and outputs that are
// devices rather than files.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/terminal/stop_signals.h"
#include "files/atomic_file.h"
#include "imageio/image_loader.h"
#include "imageio/text.h"
#include "testing/test_files.h"

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
  EXPECT_THAT(LoadIdImage(path, IdChannel::kMaterialEffects, "", ids), HasSubstr("cannot fit"));
  EXPECT_LT(PeakResidentMb() - before, 256);
}

void AppendU32(std::vector<uint8_t>& bytes, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(v >> shift));
}

// A PNG chunk: length, type, data, CRC of type and data.
void AppendChunk(std::vector<uint8_t>& bytes, const char type[5],
                 const std::vector<uint8_t>& data) {
  AppendU32(bytes, uint32_t(data.size()));
  const std::size_t start = bytes.size();
  bytes.insert(bytes.end(), type, type + 4);
  bytes.insert(bytes.end(), data.begin(), data.end());
  AppendU32(bytes, uint32_t(crc32(0, bytes.data() + start, uInt(bytes.size() - start))));
}

// Loads `path` as colour with 1 GB of address space and prints the result.
[[noreturn]] void LoadUnderMemoryLimit(const std::string& path) {
#if !defined(__SANITIZE_ADDRESS__)  // AddressSanitizer's shadow memory needs more
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = rlim_t(1) << 30;
  setrlimit(RLIMIT_AS, &limit);
#endif
  ColorImage color;
  std::fputs(LoadColorImage(path, ExrColorOptions{}, color).c_str(), stderr);
  std::_Exit(0);
}

// 65535 x 65535 pixels of 16-bit RGBA (34 GB decoded) promised by a 40 MB
// file: ten real rows, then zeros where the rest of the compressed data
// should be (the file is sparse, so it costs no disk). Under a 1 GB limit the
// reader must fail on the damaged data, not run out of memory for the
// frame its header promised.
TEST(HugeClaims, PngThatPromisesMoreThanItsDataFailsAtTheSizeOfItsData) {
  test::ScratchDir dir;
  const std::string path = dir.Path("claims.png");
  const uint32_t side = 65535;
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  AppendU32(header, side);
  AppendU32(header, side);
  header.insert(header.end(), {16, 6, 0, 0, 0});  // 16-bit RGBA, not interlaced
  AppendChunk(file, "IHDR", header);
  const std::size_t rowBytes = 1 + std::size_t(side) * 8;  // filter byte, then samples
  std::vector<uint8_t> rows(10 * rowBytes, 0);
  std::vector<uint8_t> compressed(compressBound(uLong(rows.size())));
  z_stream zlib{};
  deflateInit(&zlib, Z_BEST_COMPRESSION);
  zlib.next_in = rows.data();
  zlib.avail_in = uInt(rows.size());
  zlib.next_out = compressed.data();
  zlib.avail_out = uInt(compressed.size());
  ASSERT_EQ(deflate(&zlib, Z_SYNC_FLUSH), Z_OK);  // the stream goes on, as if cut
  compressed.resize(zlib.total_out);
  deflateEnd(&zlib);
  const uint32_t dataSize = 40'000'000;
  AppendU32(file, dataSize);
  file.insert(file.end(), {'I', 'D', 'A', 'T'});
  file.insert(file.end(), compressed.begin(), compressed.end());
  test::WriteBytes(path, file);
  std::filesystem::resize_file(path, file.size() + dataSize - compressed.size() + 4);

  EXPECT_EXIT(LoadUnderMemoryLimit(path), ::testing::ExitedWithCode(0),
              "claims.png: not a readable PNG file \\(IDAT: invalid stored block lengths\\)");
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
  EXPECT_EQ(LoadIdImage(path, IdChannel::kObject, "", ids),
            path +
                ": cannot read EXR (attribute \"comments\" claims 2147483632 bytes, more "
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

// A symlink is written through, whether its target exists, is reached by a
// chain of relative links, or is /dev/stdout behind a shell's `> file`: the
// link stays a link and its target gets the bytes.
TEST(AtomicFile, SymlinksAreWrittenThroughAndStayLinks) {
  namespace fs = std::filesystem;
  test::ScratchDir dir;
  fs::create_directory(dir.Path("real"));
  test::WriteBytes(dir.Path("real/frame.png"), {'o', 'l', 'd'});
  fs::create_symlink("real/frame.png", dir.Path("direct.png"));
  fs::create_symlink("direct.png", dir.Path("chained.png"));
  fs::create_symlink("real/new.png", dir.Path("dangling.png"));
  auto writeName = [](const char* text) {
    return [text](std::FILE* file) -> std::string {
      return std::fputs(text, file) >= 0 ? "" : "cannot write file";
    };
  };
  EXPECT_EQ(WriteFileAtomically(dir.Path("direct.png"), writeName("one")), "");
  EXPECT_EQ(test::ReadBytes(dir.Path("real/frame.png")), (std::vector<uint8_t>{'o', 'n', 'e'}));
  EXPECT_EQ(WriteFileAtomically(dir.Path("chained.png"), writeName("two")), "");
  EXPECT_EQ(test::ReadBytes(dir.Path("real/frame.png")), (std::vector<uint8_t>{'t', 'w', 'o'}));
  EXPECT_EQ(WriteFileAtomically(dir.Path("dangling.png"), writeName("new")), "");
  EXPECT_EQ(test::ReadBytes(dir.Path("real/new.png")), (std::vector<uint8_t>{'n', 'e', 'w'}));
  for (const char* link : {"direct.png", "chained.png", "dangling.png"})
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path(link)))) << link;
  EXPECT_THAT(dir.Files(),
              ::testing::ElementsAre("chained.png", "dangling.png", "direct.png", "real"));

  // `--preview /dev/stdout > out.png`: the file behind stdout gets the bytes.
  // A link of our own to the same place stands in for /dev/stdout, which a
  // writer that replaced links would replace for the whole system.
  fs::create_symlink("/proc/self/fd/1", dir.Path("stdout"));
  const std::string out = dir.Path("out.png");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    std::_Exit(WriteFileAtomically(dir.Path("stdout"), writeName("preview")).empty() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(test::ReadBytes(out), (std::vector<uint8_t>{'p', 'r', 'e', 'v', 'i', 'e', 'w'}));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path("stdout"))));
}

// Render-farm workers in separate containers share process IDs and write to
// one shared folder. Two writers that are both process 1 (each in its own
// PID namespace) save one file 200 times each: every write succeeds and the
// file is always one writer's whole content, never a mix.
TEST(AtomicFile, WritersWithTheSameProcessIdNeverShareATemporaryFile) {
  if (geteuid() != 0) GTEST_SKIP() << "PID namespaces need root";
  test::ScratchDir dir;
  const std::string path = dir.Path("shared.pcx");
  auto startWriter = [&](uint8_t value) {
    const pid_t child = fork();
    if (child != 0) return child;
    if (unshare(CLONE_NEWPID) != 0) std::_Exit(3);
    const pid_t inner = fork();  // process 1 of the new namespace
    if (inner != 0) {
      int status = 0;
      waitpid(inner, &status, 0);
      std::_Exit(WIFEXITED(status) ? WEXITSTATUS(status) : 4);
    }
    const std::vector<uint8_t> content(64 * 1024, value);
    for (int i = 0; i < 200; ++i) {
      const std::string error = WriteFileAtomically(path, [&](std::FILE* file) -> std::string {
        for (std::size_t at = 0; at < content.size(); at += 4096) {
          std::fwrite(content.data() + at, 1, 4096, file);
          std::fflush(file);
        }
        return "";
      });
      if (!error.empty()) std::_Exit(1);
    }
    std::_Exit(getpid() == 1 ? 0 : 5);
  };
  const pid_t a = startWriter('a'), b = startWriter('b');
  int statusA = 0, statusB = 0;
  waitpid(a, &statusA, 0);
  waitpid(b, &statusB, 0);
  if (WIFEXITED(statusA) && WEXITSTATUS(statusA) == 3) GTEST_SKIP() << "no PID namespaces here";
  EXPECT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0) << statusA;
  EXPECT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0) << statusB;
  const std::vector<uint8_t> bytes = test::ReadBytes(path);
  ASSERT_EQ(bytes.size(), 64u * 1024);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), bytes[0]), long(bytes.size()));
  EXPECT_THAT(dir.Files(), ::testing::ElementsAre("shared.pcx"));
}

// A second stop signal ends the process at once, and the temporary file of
// the write under way goes with it. The child holds its write open until it
// has seen the first signal, so both arrive at known points.
TEST(StopSignals, SecondSignalRemovesTheTemporaryFileAndEndsTheProcess) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    test::ScratchDir dir;
    int toParent[2];
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CatchStopSignals();
      StopBetweenRows();
      WriteFileAtomically(dir.Path("frame0001.pcx"), [&](std::FILE* file) {
        std::fputs("half a frame", file);
        std::fflush(file);
        if (write(toParent[1], "w", 1) != 1) _exit(97);
        while (StopSignal() == 0) usleep(1000);
        if (write(toParent[1], "s", 1) != 1) _exit(97);
        for (;;) pause();
        return std::string();
      });
      _exit(96);
    }
    char step = 0;
    ASSERT_EQ(read(toParent[0], &step, 1), 1);
    EXPECT_EQ(dir.Files().size(), 1u) << "the temporary file is being written";
    kill(child, signal);
    ASSERT_EQ(read(toParent[0], &step, 1), 1);
    EXPECT_EQ(step, 's') << "the first signal only asks the run to stop";
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    close(toParent[0]);
    close(toParent[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    EXPECT_TRUE(dir.Files().empty()) << signal;
  }
}

}  // namespace
}  // namespace selvo
