// The built `selvo` binary, run as a user runs it; its PCX files and
// previews decoded by Pillow and compared with the core's own indices.
#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/frame_driver.h"
#include "demo/demo_scene.h"
#include "testing/memory_frame.h"
#include "testing/test_files.h"

namespace selvo {
namespace {

using test::ScratchDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs selvo in `folder` (where its PCX files land) with stdout and stderr
// captured in files outside it.
Outcome Selvo(const ScratchDir& folder, const std::vector<std::string>& args) {
  const std::string out = folder.root().string() + ".out";
  const std::string err = folder.root().string() + ".err";
  std::string command = "cd '" + folder.root().string() + "' && '" SELVO_BINARY "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " >'" + out + "' 2>'" + err + "'";
  const int raw = std::system(command.c_str());
  Outcome run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;
  std::vector<uint8_t> palette;
};

// The palette image as Pillow reads it.
Decoded DecodeWithPillow(const std::string& image) {
  const std::string raw = image + ".decoded";
  const std::string command =
      "'" SELVO_PYTHON "' '" SELVO_DECODER "' '" + image + "' '" + raw + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<uint8_t> bytes = test::ReadBytes(raw);
  std::remove(raw.c_str());
  Decoded decoded;
  if (bytes.size() < 8 + 768) return decoded;
  const auto u32 = [&](std::size_t at) {
    return int(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
  };
  decoded.width = u32(0);
  decoded.height = u32(4);
  const std::size_t count = std::size_t(decoded.width) * decoded.height;
  decoded.indices.assign(bytes.begin() + 8, bytes.begin() + 8 + count);
  decoded.palette.assign(bytes.begin() + 8 + count, bytes.end());
  return decoded;
}

// The test's own frame of the demo scene, to get the core's indices
// without any of the command's code.
test::MemoryFrame SceneFrame(DemoScene scene, int frameNumber) {
  test::MemoryFrame frame(scene.width, scene.height);
  frame.pixels = std::move(scene.pixels);
  frame.materialIds = std::move(scene.materialIds);
  frame.objectIds = std::move(scene.objectIds);
  frame.frameNumber = frameNumber;
  return frame;
}

TEST(EndToEnd, DemoPcxAndPreviewHoldTheCoresIndices) {
  ScratchDir dir;
  const Outcome run = Selvo(dir, {"render", "--demo", "--preview", "preview.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "wrote demo0001.pcx\n");
  EXPECT_EQ(run.err, "");

  ScratchDir elsewhere;  // the core's own run writes its PCX here
  RendererConfig config = DemoConfig();
  SetOutputName(config, elsewhere.Path("core.pcx"));
  test::MemoryFrame scene =
      SceneFrame(RenderDemoScene(kDemoWidth, kDemoHeight, kDemoFrame), kDemoFrame);
  test::NoProgress progress;
  FrameBuffers buffers;
  ASSERT_EQ(RenderFrame(config, scene.View(), progress, buffers).status, FrameStatus::kWritten);

  const std::vector<uint8_t> palette(config.palette, config.palette + 768);
  for (const char* file : {"demo0001.pcx", "preview.png"}) {
    const Decoded decoded = DecodeWithPillow(dir.Path(file));
    EXPECT_EQ(decoded.width, kDemoWidth) << file;
    EXPECT_EQ(decoded.height, kDemoHeight) << file;
    EXPECT_TRUE(decoded.indices == buffers.indices) << file;
    EXPECT_EQ(decoded.palette, palette) << file;
  }
  EXPECT_EQ(test::ReadBytes(dir.Path("demo0001.pcx")),
            test::ReadBytes(elsewhere.Path("core0001.pcx")));
}

// Three frames of 5 x 4 pixels; every ID gets a one-entry band 10 + ID, so
// the expected index follows from the IDs alone.
void WriteSequenceFrame(const ScratchDir& dir, int frame) {
  std::vector<uint16_t> color, ids;
  for (int i = 0; i < 20; ++i) {
    color.insert(color.end(), {uint16_t(i * 12), uint16_t(frame * 40), 90});
    ids.push_back(uint16_t((i + frame) % 4));
  }
  char name[32];
  std::snprintf(name, sizeof name, "c_%04d.png", frame);
  test::WritePng(dir.Path(name), 5, 4, PNG_COLOR_TYPE_RGB, 8, color);
  std::snprintf(name, sizeof name, "i_%04d.png", frame);
  test::WritePng(dir.Path(name), 5, 4, PNG_COLOR_TYPE_GRAY, 8, ids);
}

TEST(EndToEnd, PngSequenceWithTwoWorkersAndSettingsMadeByConfig) {
  ScratchDir dir;
  for (int frame = 1; frame <= 3; ++frame) WriteSequenceFrame(dir, frame);
  ASSERT_EQ(Selvo(dir, {"config", "init", "s.bin"}).status, 0);
  const Outcome set =
      Selvo(dir, {"config", "set", "s.bin", "--range", "0=10-10", "--range=1=11-11", "--range",
                  "2=12-12", "--range", "3=13-13", "--output", "seq.pcx"});
  ASSERT_EQ(set.status, 0) << set.err;
  const Outcome run =
      Selvo(dir, {"render", "--color", "c_####.png", "--ids", "i_####.png", "--settings", "s.bin",
                  "--frames", "1-3", "-j", "2", "--preview", "p_#.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(dir.Files(), ElementsAre("c_0001.png", "c_0002.png", "c_0003.png", "i_0001.png",
                                       "i_0002.png", "i_0003.png", "p_1.png", "p_2.png", "p_3.png",
                                       "s.bin", "seq0001.pcx", "seq0002.pcx", "seq0003.pcx"));
  for (int frame = 1; frame <= 3; ++frame) {
    std::vector<uint8_t> expected;
    for (int i = 0; i < 20; ++i) expected.push_back(uint8_t(10 + (i + frame) % 4));
    const std::string pcx = dir.Path("seq000" + std::to_string(frame) + ".pcx");
    EXPECT_EQ(DecodeWithPillow(pcx).indices, expected) << frame;
    EXPECT_EQ(DecodeWithPillow(dir.Path("p_" + std::to_string(frame) + ".png")).indices, expected);
  }
}

// Threads change how fast a run goes, never what it writes: a sequence on
// one thread, on two (a frame each), and single frames whose rows three
// threads share write the same bytes, with either mapping method.
TEST(EndToEnd, AnyNumberOfThreadsWritesTheSameBytes) {
  for (const char* method : {"uniform", "similar"}) {
    ScratchDir one, two, rows;
    for (const ScratchDir* dir : {&one, &two, &rows}) {
      ASSERT_EQ(Selvo(*dir, {"config", "init", "s.bin", "--demo"}).status, 0);
      ASSERT_EQ(Selvo(*dir, {"config", "set", "s.bin", "--method", method}).status, 0);
    }
    const std::vector<std::string> render = {"render",     "--demo", "--size", "301x203",
                                             "--settings", "s.bin",  "-q"};
    const auto run = [&](const ScratchDir& dir, std::vector<std::string> more) {
      more.insert(more.begin(), render.begin(), render.end());
      const Outcome outcome = Selvo(dir, more);
      EXPECT_EQ(outcome.status, 0) << method << ": " << outcome.err;
    };
    run(one, {"--frames", "1-4", "-j", "1", "--palettized", "p#.png"});
    run(two, {"--frames", "1-4", "-j", "2", "--palettized", "p#.png"});
    run(rows, {"--frame", "1", "-j", "3", "--palettized", "p1.png"});
    run(rows, {"--frame", "4", "-j", "3", "--palettized", "p4.png"});
    ASSERT_EQ(one.Files().size(), 9u) << method;  // 4 PCX, 4 PNG, settings
    EXPECT_EQ(two.Files(), one.Files()) << method;
    for (const std::string& file : one.Files())
      EXPECT_TRUE(test::ReadBytes(two.Path(file)) == test::ReadBytes(one.Path(file))) << file;
    for (const char* file : {"demo0001.pcx", "demo0004.pcx", "p1.png", "p4.png"})
      EXPECT_TRUE(test::ReadBytes(rows.Path(file)) == test::ReadBytes(one.Path(file))) << file;
  }
}

TEST(EndToEnd, WithoutFramesAHashIsPartOfTheName) {
  ScratchDir dir;
  WriteSequenceFrame(dir, 202);
  ASSERT_EQ(std::rename(dir.Path("c_0202.png").c_str(), dir.Path("c#202.png").c_str()), 0);
  // i_0202.png exists, yet i_#.png names another file.
  const Outcome missing = Selvo(dir, {"render", "--color", "c#202.png", "--ids", "i_#.png"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err,
            "selvo: i_#.png: no such file; a run of # is the frame number only "
            "with --frames (--frames 0 renders frame 0)\n");
  ASSERT_EQ(std::rename(dir.Path("i_0202.png").c_str(), dir.Path("i_#.png").c_str()), 0);
  const Outcome literal =
      Selvo(dir, {"render", "--color", "c#202.png", "--ids", "i_#.png", "--frame", "3", "--preview",
                  "p#.png", "--palettized", "q##.png"});
  ASSERT_EQ(literal.status, 0) << literal.err;
  EXPECT_THAT(dir.Files(),
              ElementsAre("c#202.png", "i_#.png", "p#.png", "q##.png", "slvo0003.pcx"));
}

TEST(EndToEnd, AFolderDotInTheOutputNameIsWarnedAboutOnce) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.Path("renders"));
  const Outcome run = Selvo(dir, {"render", "--demo", "--size", "8x8", "--frames", "11-13", "-j",
                                  "2", "--output", "./renders/hero.pcx"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err,
            "selvo: warning: the output name \"./renders/hero.pcx\" is cut at its first "
            "\".\", which lies in a folder name: frame 11 is written as 0011.pcx\n");
  EXPECT_THAT(dir.Files(), ElementsAre("0011.pcx", "0012.pcx", "0013.pcx", "renders"));
  ASSERT_EQ(Selvo(dir, {"config", "init", "s.bin"}).status, 0);
  const Outcome set = Selvo(dir, {"config", "set", "s.bin", "--output", "./renders/hero.pcx"});
  EXPECT_EQ(set.status, 0);
  EXPECT_THAT(set.err, HasSubstr("frame 1 is written as 0001.pcx"));
  EXPECT_EQ(Selvo(dir, {"config", "set", "s.bin", "--method", "similar"}).err, "");
}

TEST(EndToEnd, PaletteExportsReadInPillowAndComeBackUnchanged) {
  ScratchDir dir;
  ASSERT_EQ(Selvo(dir, {"config", "init", "demo.bin", "--demo"}).status, 0);
  const RendererConfig demo = DemoConfig();
  const std::vector<uint8_t> palette(demo.palette, demo.palette + 768);
  std::vector<uint8_t> readingOrder(256);
  for (int i = 0; i < 256; ++i) readingOrder[i] = uint8_t(i);
  for (const char* name : {"p.png", "p.pcx"}) {
    ASSERT_EQ(Selvo(dir, {"config", "export-palette", "demo.bin", name}).status, 0) << name;
    const Decoded decoded = DecodeWithPillow(dir.Path(name));
    EXPECT_EQ(decoded.width, 16) << name;
    EXPECT_EQ(decoded.indices, readingOrder) << name;
    EXPECT_EQ(decoded.palette, palette) << name;
  }
  const std::vector<uint8_t> before = test::ReadBytes(dir.Path("p.png"));
  const Outcome again = Selvo(dir, {"config", "export-palette", "demo.bin", "p.png"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "selvo: p.png: already exists (use --force to replace it)\n");
  EXPECT_EQ(test::ReadBytes(dir.Path("p.png")), before);

  // Each format into a default settings file and back out, byte for byte.
  for (const char* name : {"p.gpl", "p.pal", "p.act", "p.hex", "p.png", "p.pcx"}) {
    ASSERT_EQ(Selvo(dir, {"config", "export-palette", "demo.bin", name, "--force"}).status, 0);
    ASSERT_EQ(Selvo(dir, {"config", "init", "s.bin", "--force"}).status, 0);
    const Outcome set = Selvo(dir, {"config", "set", "s.bin", "--palette", name});
    ASSERT_EQ(set.status, 0) << set.err;
    const std::vector<uint8_t> block = test::ReadBytes(dir.Path("s.bin"));
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 268, block.begin() + 268 + 768), palette)
        << name;
  }
}

TEST(EndToEnd, ShowDrawsTheSettingsAsAPng) {
  ScratchDir dir;
  ASSERT_EQ(Selvo(dir, {"config", "init", "demo.bin", "--demo"}).status, 0);
  const Outcome run = Selvo(dir, {"config", "show", "demo.bin", "--png", "demo.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const std::vector<uint8_t> png = test::ReadBytes(dir.Path("demo.png"));
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  const Outcome self = Selvo(dir, {"config", "show", "demo.bin", "--png", "./demo.bin"});
  EXPECT_EQ(self.status, 1);
  EXPECT_THAT(self.err, HasSubstr("is the settings file itself"));
  EXPECT_EQ(test::ReadBytes(dir.Path("demo.bin")).size(), kConfigSize);
}

TEST(EndToEnd, MultilayerExrThroughTheObjectChannel) {
  ScratchDir dir;
  const std::vector<float> objectIds = {3, 0, 1, 2, 700, 1};  // 700: beyond 15, ID 0's band
  test::WriteExr(dir.Path("shot.exr"), 3, 2,
                 {{"ViewLayer.Combined.R", Imf::HALF, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}},
                  {"ViewLayer.Combined.G", Imf::HALF, {0, 0, 0, 0, 0, 0}},
                  {"ViewLayer.Combined.B", Imf::HALF, {1, 1, 1, 1, 1, 1}},
                  {"ViewLayer.Object Index.X", Imf::FLOAT, objectIds},
                  {"ViewLayer.Material Index.X", Imf::FLOAT, {0, 0, 0, 0, 0, 0}}});
  ASSERT_EQ(Selvo(dir, {"config", "init", "s.bin"}).status, 0);
  ASSERT_EQ(Selvo(dir, {"config", "set", "s.bin", "--source", "object", "--range", "0=50-50",
                        "--range", "1=51-51", "--range", "2=52-52", "--range", "3=53-53"})
                .status,
            0);
  const Outcome run = Selvo(dir, {"render", "--color", "shot.exr", "--ids", "shot.exr",
                                  "--settings", "s.bin", "--frame", "12"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(DecodeWithPillow(dir.Path("slvo0012.pcx")).indices,
              ElementsAre(53, 50, 51, 52, 50, 51));
}

TEST(EndToEnd, BadInputFailsWithOneLineNamingTheFileAndWritesNothing) {
  ScratchDir dir;
  WriteSequenceFrame(dir, 1);
  test::WriteBytes(dir.Path("short.bin"), std::vector<uint8_t>(1083, 0));
  test::WritePng(dir.Path("big_ids.png"), 5, 4, PNG_COLOR_TYPE_GRAY, 16,
                 std::vector<uint16_t>(20, 256));
  test::WriteExr(dir.Path("neg.exr"), 5, 4,
                 {{"IndexOB.X", Imf::FLOAT, std::vector<float>(20, -2)}});
  const std::vector<std::string> before = dir.Files();

  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"--settings", "short.bin", "--ids", "i_0001.png"},
       "selvo: short.bin: not a settings file (1083 bytes instead of 1084)\n"},
      {{"--ids", "big_ids.png"},
       "selvo: big_ids.png: ID 256 at pixel (0, 0) does not fit the material effects channel "
       "(0..255)\n"},
      {{"--ids", "neg.exr", "--id-channel", "IndexOB.X"},
       "selvo: neg.exr: ID -2 at pixel (0, 0) is negative (channel \"IndexOB.X\")\n"},
      {{"--ids", "missing.png"},
       "selvo: missing.png: cannot open file: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"render", "--color", "c_0001.png"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome run = Selvo(dir, args);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(dir.Files(), before);

  const Outcome usage = Selvo(dir, {"render", "--color", "c_0001.png"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_THAT(usage.err, HasSubstr("give --color and --ids, or --demo"));
  EXPECT_EQ(Selvo(dir, {}).status, 2);
  EXPECT_EQ(Selvo(dir, {"paint"}).status, 2);
  EXPECT_EQ(dir.Files(), before);
}

TEST(EndToEnd, ConfigRefusesABadPaletteFileAndLeavesTheSettings) {
  ScratchDir dir;
  ASSERT_EQ(Selvo(dir, {"config", "init", "s.bin"}).status, 0);
  const std::vector<uint8_t> settings = test::ReadBytes(dir.Path("s.bin"));
  std::vector<uint8_t> pcx(128 + 1000, 0x55);
  pcx[0] = 0x0A;
  pcx[1] = 5;
  pcx[3] = 8;
  pcx[65] = 3;  // 24-bit: three planes, no palette at the end
  test::WriteBytes(dir.Path("truecolor.pcx"), pcx);
  const Outcome run = Selvo(dir, {"config", "set", "s.bin", "--palette", "truecolor.pcx"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("truecolor.pcx: no 256-colour palette"));
  EXPECT_EQ(test::ReadBytes(dir.Path("s.bin")), settings);
  test::WriteBytes(dir.Path("bad.gpl"), {'G', 'I', 'M', 'P', ' ', 'P', 'a', 'l', 'e', 't', 't', 'e',
                                         '\n', '1', ' ', '2', '\n'});
  const Outcome gimp =
      Selvo(dir, {"config", "set", "s.bin", "--range", "1=2-3", "--palette", "bad.gpl"});
  EXPECT_EQ(gimp.err, "selvo: bad.gpl: line 2: expected R G B, each 0..255\n");
  EXPECT_EQ(test::ReadBytes(dir.Path("s.bin")), settings);
  EXPECT_EQ(Selvo(dir, {"config", "init", "s.bin"}).status, 1);  // exists: not replaced
  EXPECT_EQ(Selvo(dir, {"config", "init", "s.bin", "--force", "--demo"}).status, 0);
  EXPECT_THAT(Selvo(dir, {"config", "show", "s.bin"}).out,
              HasSubstr("demo.pcx  (frame 1 is written as demo0001.pcx)"));
}

// Names reach the terminal as text: escape sequences in a settings file's
// output name or in a typed path are shown escaped, never sent.
TEST(EndToEnd, NamesFromFilesAndTheCommandLineArePrintedEscaped) {
  ScratchDir dir;
  ASSERT_EQ(Selvo(dir, {"config", "init", "s.bin"}).status, 0);
  ASSERT_EQ(Selvo(dir, {"config", "set", "s.bin", "--output", "\x1B]0;owned\x07x.pcx"}).status, 0);
  const Outcome run = Selvo(dir, {"render", "--demo", "--settings", "s.bin"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "wrote \\x1B]0;owned\\x07x0001.pcx\n");
  const Outcome missing = Selvo(dir, {"render", "--color", "\x1B[2Jc.png", "--ids", "i.png"});
  EXPECT_EQ(missing.err, "selvo: \\x1B[2Jc.png: cannot open file: No such file or directory\n");
  const Outcome unknown = Selvo(dir, {"\x1B[2J"});
  EXPECT_EQ(unknown.err, "selvo: unknown command \\x1B[2J\nTry 'selvo --help'.\n");
}

// Starts selvo in `folder` with stdout and stderr going to `out` and `err`.
pid_t StartSelvo(const ScratchDir& folder, const std::vector<std::string>& args,
                 const std::string& out, const std::string& err) {
  const pid_t child = fork();
  if (child != 0) return child;
  std::vector<char*> argv = {const_cast<char*>("selvo")};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (chdir(folder.root().c_str()) != 0 || outFd < 0 || errFd < 0) _exit(99);
  dup2(outFd, 1);
  dup2(errFd, 2);
  execv(SELVO_BINARY, argv.data());
  _exit(98);
}

// Each stop signal arrives at a known point: frame 1's palettized PNG goes
// to a FIFO whose reader takes nothing until the signal is sent, so frame 1
// is between its rows and its last file, and frame 2 has not begun. The run
// finishes frame 1, stops, and ends with 128 + the signal's number.
TEST(EndToEnd, StopSignalsFinishTheFrameBeingWrittenAndStartNoOther) {
  const struct {
    int signal;
    const char* message;
  } cases[] = {
      {SIGINT, "selvo: interrupted; frames in progress were not written\n"},
      {SIGTERM, "selvo: terminated (SIGTERM); frames in progress were not written\n"},
      {SIGHUP, "selvo: hung up (SIGHUP); frames in progress were not written\n"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    ASSERT_EQ(mkfifo(dir.Path("p0001.png").c_str(), 0644), 0);
    const std::string out = dir.root().string() + ".out", err = dir.root().string() + ".err";
    const pid_t child = StartSelvo(dir,
                                   {"render", "--demo", "--size", "600x600", "--frames", "1-3",
                                    "-j", "1", "--palettized", "p####.png"},
                                   out, err);
    ASSERT_GT(child, 0);
    const int fifo = open(dir.Path("p0001.png").c_str(), O_RDONLY);  // waits for selvo
    ASSERT_GE(fifo, 0);
    fcntl(fifo, F_SETPIPE_SZ, 4096);  // far less than the PNG: selvo waits for us
    kill(child, c.signal);
    std::vector<uint8_t> png;
    uint8_t chunk[4096];
    for (ssize_t got; (got = read(fifo, chunk, sizeof chunk)) > 0;)
      png.insert(png.end(), chunk, chunk + got);
    close(fifo);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
    EXPECT_EQ(ReadText(out), "wrote demo0001.pcx\n");
    EXPECT_EQ(ReadText(err), c.message);
    EXPECT_GT(png.size(), 4096u);
    EXPECT_THAT(dir.Files(), ElementsAre("demo0001.pcx", "p0001.png"));
    EXPECT_EQ(DecodeWithPillow(dir.Path("demo0001.pcx")).width, 600);
    std::remove(out.c_str());
    std::remove(err.c_str());
  }
}

// stdout and stderr fail like files: a full disk or a closed pipe behind
// them is a failed run with the system's reason, never a silent success.
TEST(EndToEnd, FailedWritesToStdoutOrStderrFailTheRun) {
  ScratchDir dir;
  ASSERT_EQ(Selvo(dir, {"config", "init", "s.bin"}).status, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"},
        {"config", "show", "--json", "s.bin"},
        {"render", "--help"},
        {"render", "--demo", "--frames", "1-2", "-j", "1"}}) {
    std::string command = "cd '" + dir.root().string() + "' && '" SELVO_BINARY "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >/dev/full 2>'" + dir.root().string() + ".err'";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 1) << command;
    EXPECT_EQ(ReadText(dir.root().string() + ".err"),
              "selvo: cannot write to standard output: No space left on device\n")
        << command;
  }
  // A full stdout stops a sequence after the frame it could not report.
  EXPECT_THAT(dir.Files(), ElementsAre("demo0001.pcx", "s.bin"));

  // A warning that cannot reach stderr fails an otherwise good run.
  const std::string quiet = "cd '" + dir.root().string() +
                            "' && '" SELVO_BINARY
                            "' render --demo -q --output ./sub.d/x.pcx 2>/dev/full";
  std::filesystem::create_directory(dir.Path("sub.d"));
  EXPECT_EQ(WEXITSTATUS(std::system(quiet.c_str())), 1);

  // A closed pipe on stdout is an error with its reason, not a silent death
  // by SIGPIPE; the PCX file it could not report is complete.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  close(pipeFds[0]);  // nobody reads
  const std::string err = dir.root().string() + ".err";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(pipeFds[1], 1);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(errFd, 2);
    if (chdir(dir.root().c_str()) != 0) _exit(99);
    execl(SELVO_BINARY, "selvo", "render", "--demo", "--output", "piped.pcx",
          static_cast<char*>(nullptr));
    _exit(98);
  }
  close(pipeFds[1]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(ReadText(err), "selvo: cannot write to standard output: Broken pipe\n");
  EXPECT_EQ(DecodeWithPillow(dir.Path("piped0001.pcx")).width, kDemoWidth);
  std::remove(err.c_str());
}

}  // namespace
}  // namespace selvo
