// Settings files and `selvo config`'s edits.
#include <sys/stat.h>

#include <cstring>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/config/config_command.h"
#include "cli/config/settings_file.h"
#include "cli/config/settings_text.h"
#include "pcx/pcx_writer.h"
#include "testing/test_files.h"

namespace selvo {
namespace {

using test::ScratchDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<uint8_t> Block(uint32_t version) {
  RendererConfig config;
  config.version = version;
  std::vector<uint8_t> bytes(kConfigSize);
  SaveConfig(config, bytes.data());
  bytes[0] = uint8_t(version);
  bytes[1] = uint8_t(version >> 8);
  bytes[2] = uint8_t(version >> 16);
  bytes[3] = uint8_t(version >> 24);
  return bytes;
}

TEST(SettingsFile, SizeOtherThan1084IsRefused) {
  ScratchDir dir;
  std::vector<uint8_t> bytes = Block(110);
  for (std::size_t size : {std::size_t(0), kConfigSize - 1, kConfigSize + 1, std::size_t(70000)}) {
    std::vector<uint8_t> resized = bytes;
    resized.resize(size);
    test::WriteBytes(dir.Path("s.bin"), resized);
    RendererConfig config;
    EXPECT_EQ(LoadSettingsFile(dir.Path("s.bin"), config),
              dir.Path("s.bin") + ": not a settings file (" + std::to_string(size) +
                  " bytes instead of 1084)");
  }
  RendererConfig config;
  EXPECT_EQ(LoadSettingsFile(dir.Path("missing.bin"), config),
            dir.Path("missing.bin") + ": cannot open settings file: No such file or directory");
}

TEST(SettingsFile, SizeFromAPipeIsCountedByReading) {
  ScratchDir dir;
  const std::string fifo = dir.Path("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { test::WriteBytes(fifo, std::vector<uint8_t>(100000, 7)); });
  RendererConfig config;
  const std::string error = LoadSettingsFile(fifo, config);
  writer.join();
  EXPECT_EQ(error, fifo + ": not a settings file (100000 bytes instead of 1084)");
}

TEST(SettingsFile, VersionAbove110IsRefusedComparedUnsigned) {
  ScratchDir dir;
  for (uint32_t version : {111u, 0x80000000u, 0xFFFFFFFFu}) {
    test::WriteBytes(dir.Path("s.bin"), Block(version));
    RendererConfig config;
    config.method = 4242;  // must stay untouched
    EXPECT_THAT(LoadSettingsFile(dir.Path("s.bin"), config),
                HasSubstr("settings version " + std::to_string(version) + " is newer than 110"));
    EXPECT_EQ(config.method, 4242);
  }
  for (uint32_t version : {0u, 100u, 110u}) {
    test::WriteBytes(dir.Path("s.bin"), Block(version));
    RendererConfig config;
    ASSERT_EQ(LoadSettingsFile(dir.Path("s.bin"), config), "") << version;
    EXPECT_EQ(config.version, version);
  }
}

TEST(SettingsFile, SaveWritesTheBlockByteForByteAndLeavesNoTemporaryFile) {
  ScratchDir dir;
  RendererConfig config;
  config.ranges[15] = ColorRange{200, 100, 1};
  config.version = 100;
  ASSERT_EQ(SaveSettingsFile(dir.Path("s.bin"), config), "");
  std::vector<uint8_t> expected(kConfigSize);
  SaveConfig(config, expected.data());
  EXPECT_EQ(test::ReadBytes(dir.Path("s.bin")), expected);
  EXPECT_THAT(dir.Files(), ElementsAre("s.bin"));
  EXPECT_THAT(SaveSettingsFile(dir.Path("none/s.bin"), config),
              HasSubstr(dir.Path("none/s.bin") + ": cannot create file"));
}

TEST(ConfigSet, EachSettingChangesOnlyItsField) {
  RendererConfig config;
  EXPECT_EQ(ApplySetting(config, "--source", "object"), "");
  EXPECT_EQ(config.sourceChannel, kObjectChannel);
  EXPECT_EQ(ApplySetting(config, "--source", "material"), "");
  EXPECT_EQ(config.sourceChannel, kMaterialEffectsChannel);
  EXPECT_EQ(ApplySetting(config, "--method", "similar"), "");
  EXPECT_EQ(config.method, kFindMostSimilarColor);
  EXPECT_EQ(ApplySetting(config, "--output", "walk.cycle.pcx"), "");
  EXPECT_EQ(OutputName(config).value(), "walk.cycle.pcx");
  EXPECT_EQ(ApplySetting(config, "--range", "15=200-100"), "");
  EXPECT_EQ(ApplySetting(config, "--dither", "15=on"), "");
  EXPECT_EQ(config.ranges[15].from, 200);
  EXPECT_EQ(config.ranges[15].to, 100);
  EXPECT_EQ(config.ranges[15].dither, 1);
  EXPECT_EQ(ApplySetting(config, "--range", "15=1-2"), "");
  EXPECT_EQ(config.ranges[15].dither, 1);  // a range keeps its dither
  EXPECT_EQ(config.ranges[14].to, 0);
}

TEST(ConfigSet, MalformedValuesAreRefusedWithoutChanges) {
  RendererConfig config;
  const RendererConfig before = config;
  for (const char* range : {"16=1-2", "3=1-256", "3=1", "3=-1-4", "x=1-2", "3=1-2x", "=1-2"})
    EXPECT_THAT(ApplySetting(config, "--range", range), HasSubstr("expected ID=FROM-TO")) << range;
  EXPECT_THAT(ApplySetting(config, "--dither", "3=yes"), HasSubstr("expected ID=on or ID=off"));
  EXPECT_THAT(ApplySetting(config, "--source", "1002"), HasSubstr("expected material or object"));
  EXPECT_THAT(ApplySetting(config, "--method", "nearest"),
              HasSubstr("expected uniform or similar"));
  EXPECT_THAT(ApplySetting(config, "--output", std::string(256, 'a')),
              HasSubstr("longer than 255 characters"));
  EXPECT_THAT(ApplySetting(config, "--colour", "x"), HasSubstr("unknown option --colour"));
  uint8_t a[kConfigSize], b[kConfigSize];
  SaveConfig(before, a);
  SaveConfig(config, b);
  EXPECT_EQ(std::vector<uint8_t>(a, a + kConfigSize), std::vector<uint8_t>(b, b + kConfigSize));
}

TEST(ConfigSet, PaletteComesOnlyFromAPcxWithA256ColourTrailer) {
  ScratchDir dir;
  uint8_t palette[768];
  for (int i = 0; i < 768; ++i) palette[i] = uint8_t(255 - i % 256);
  const uint8_t indices[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(WritePcx(dir.Path("game.pcx"), indices, 3, 2, palette), "");
  RendererConfig config;
  ASSERT_EQ(ApplySetting(config, "--palette", dir.Path("game.pcx")), "");
  EXPECT_EQ(std::vector<uint8_t>(config.palette, config.palette + 768),
            std::vector<uint8_t>(palette, palette + 768));

  // A 16-colour PCX (4 planes of 1 bit): its last 768 bytes are pixels.
  std::vector<uint8_t> sixteen = test::ReadBytes(dir.Path("game.pcx"));
  sixteen[3] = 1;
  sixteen[65] = 4;
  test::WriteBytes(dir.Path("16.pcx"), sixteen);
  const RendererConfig before = config;
  const std::string error = ApplySetting(config, "--palette", dir.Path("16.pcx"));
  EXPECT_THAT(error, HasSubstr(dir.Path("16.pcx") + ": no 256-colour palette"));
  EXPECT_EQ(std::vector<uint8_t>(config.palette, config.palette + 768),
            std::vector<uint8_t>(before.palette, before.palette + 768));
  EXPECT_THAT(ApplySetting(config, "--palette", dir.Path("none.pcx")), HasSubstr("cannot open"));
}

TEST(ConfigSet, PaletteFileFillsFromStartAndKeepsTheOtherEntries) {
  ScratchDir dir;
  test::WriteBytes(dir.Path("ramp.hex"),
                   {'1', '1', '2', '2', '3', '3', '\n', 'a', 'a', 'b', 'b', 'c', 'c', '\n'});
  RendererConfig config;
  const RendererConfig defaults;
  ASSERT_EQ(ApplySetting(config, "--palette", dir.Path("ramp.hex") + "@254"), "");
  ASSERT_EQ(ApplySetting(config, "--palette", dir.Path("ramp.hex")), "");
  const std::vector<uint8_t> palette(config.palette, config.palette + 768);
  std::vector<uint8_t> expected(defaults.palette, defaults.palette + 768);
  const uint8_t ramp[6] = {0x11, 0x22, 0x33, 0xaa, 0xbb, 0xcc};
  std::copy(ramp, ramp + 6, expected.begin());            // without @: from entry 0
  std::copy(ramp, ramp + 6, expected.begin() + 3 * 254);  // @254: entries 254 and 255
  EXPECT_EQ(palette, expected);

  EXPECT_EQ(ApplySetting(config, "--palette", dir.Path("ramp.hex") + "@255"),
            dir.Path("ramp.hex") + " holds 2 colours; from entry 255 only 1 fit");
  EXPECT_EQ(ApplySetting(config, "--palette", dir.Path("ramp.hex") + "@256"),
            "--palette " + dir.Path("ramp.hex") + "@256: START must be 0..255");
  EXPECT_EQ(std::vector<uint8_t>(config.palette, config.palette + 768), expected);
  // An @ without a number after it is part of the name.
  EXPECT_EQ(ApplySetting(config, "--palette", dir.Path("a@b.hex")),
            dir.Path("a@b.hex") + ": cannot open file: No such file or directory");
}

TEST(ConfigCommand, HelpAfterAnyActionShowsTheHelp) {
  for (const char* action : {"init", "show", "set", "export-palette"}) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunConfigCommand({action, "s.bin", "--help"}), 0) << action;
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("Usage: selvo config"));
  }
}

TEST(SettingsText, ShowsSelectorsAsStoredAndTheComposedName) {
  RendererConfig config;
  config.sourceChannel = 7;  // anything but 1001 means the object channel
  config.method = 1023;
  config.ranges[3] = ColorRange{16, 19, 5};
  SetOutputName(config, "walk.cycle.pcx");
  const std::string text = FormatSettingsText(config);
  EXPECT_THAT(text, HasSubstr("source channel  7 (object channel)"));
  EXPECT_THAT(text, HasSubstr("walk.cycle.pcx  (frame 1 is written as walk0001.pcx)"));
  EXPECT_THAT(text, HasSubstr("method          1023 (uniform distribution)"));
  EXPECT_THAT(text, HasSubstr("                 3    16   19  on\n"));
  EXPECT_THAT(text, HasSubstr("              0  000000 000055 0000aa 0000ff 002400"));

  const std::string json = FormatSettingsJson(config);
  EXPECT_THAT(json, HasSubstr("\"sourceChannel\": 7,\n  \"source\": \"object\""));
  EXPECT_THAT(json, HasSubstr("{\"id\": 3, \"from\": 16, \"to\": 19, \"dither\": 5}"));
  EXPECT_THAT(json, HasSubstr("[255, 255, 255]\n  ]\n}\n"));
}

// Front ends (the Blender add-on) take the name a frame is written to from
// here instead of composing it themselves.
TEST(SettingsText, NamesTheFileOfTheFrameAsked) {
  RendererConfig config;
  SetOutputName(config, "walk.cycle.pcx");
  EXPECT_THAT(FormatSettingsText(config, -12), HasSubstr("(frame -12 is written as walk-012.pcx)"));
  EXPECT_THAT(FormatSettingsJson(config, 12345),
              HasSubstr("\"frame\": 12345,\n  \"frameName\": \"walk12345.pcx\",\n"));
  // 248 characters, four digits and ".pcx" pass 255: no file at all.
  SetOutputName(config, std::string(248, 'n'));
  EXPECT_THAT(FormatSettingsJson(config, 7), HasSubstr("\"frameName\": null,"));
  EXPECT_THAT(FormatSettingsText(config, 7), HasSubstr("written as nothing: the name is too long"));
}

TEST(SettingsText, WarnsWhenTheFirstDotLiesInAFolderName) {
  RendererConfig config;
  const auto warning = [&](const char* name, int frame) {
    SetOutputName(config, name);
    return FolderDotWarning(config, frame);
  };
  EXPECT_EQ(warning("./renders/hero.pcx", 12),
            "warning: the output name \"./renders/hero.pcx\" is cut at its first \".\", which "
            "lies in a folder name: frame 12 is written as 0012.pcx");
  EXPECT_THAT(warning("shots/v1.2/hero.pcx", -1), HasSubstr("written as shots/v1-001.pcx"));
  EXPECT_EQ(warning("renders/hero.pcx", 12), "");
  EXPECT_EQ(warning("hero.final.pcx", 12), "");
  EXPECT_EQ(warning("renders/hero", 12), "");
}

TEST(SettingsText, NamesThatAreNotPlainTextAreEscaped) {
  RendererConfig config;
  SetOutputName(config, "a\"b\\c\xe9\n");
  EXPECT_THAT(FormatSettingsJson(config),
              HasSubstr("\"outputName\": \"a\\\"b\\\\c\\u00e9\\u000a\""));
  // 0xE9 starts a three-byte UTF-8 character that the newline cuts short.
  EXPECT_THAT(FormatSettingsText(config), HasSubstr("a\"b\\c\\xE9\\x0A"));
  std::memset(config.outputName, 'x', kNameSize);  // no terminator at all
  EXPECT_THAT(FormatSettingsJson(config), HasSubstr("\"outputName\": null"));
  EXPECT_THAT(FormatSettingsText(config), HasSubstr("no terminating NUL"));
}

}  // namespace
}  // namespace selvo
