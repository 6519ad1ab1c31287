#include "core/renderer_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "testing/block_bytes.h"

namespace selvo {
namespace {

using test::Block;
using test::PutU32;
using test::U32At;

Block Saved(const RendererConfig& config) {
  Block block(kConfigSize, 0xEE);
  EXPECT_TRUE(SaveConfig(config, block.data()));
  return block;
}

TEST(RendererConfig, FreshBlockHoldsTheDefaultsAtTheirOffsets) {
  const Block block = Saved(RendererConfig());
  EXPECT_EQ(GetConfigSize(), 1084u);
  EXPECT_EQ(U32At(block, 0), 110u);
  EXPECT_EQ(U32At(block, 4), 1001u);
  EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + 8), "slvo.pcx");
  for (std::size_t i = 8 + 8; i < 264; ++i) EXPECT_EQ(block[i], 0) << "name byte " << i;
  EXPECT_EQ(U32At(block, 264), 1023u);
  for (std::size_t i = 1036; i < 1084; ++i) EXPECT_EQ(block[i], 0) << "range byte " << i;
}

TEST(RendererConfig, DefaultPaletteIsTheThreeThreeTwoCube) {
  const Block block = Saved(RendererConfig());
  auto entry = [&](int i) {
    const uint8_t* p = block.data() + 268 + 3 * i;
    return std::vector<int>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(entry(0), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(entry(1), (std::vector<int>{0, 0, 85}));
  EXPECT_EQ(entry(24), (std::vector<int>{0, 218, 0}));
  EXPECT_EQ(entry(224), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(entry(255), (std::vector<int>{255, 255, 255}));
  const int redGreenLevels[8] = {0, 36, 72, 109, 145, 182, 218, 255};
  const int blueLevels[4] = {0, 85, 170, 255};
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(entry(i)[0], redGreenLevels[(i >> 5) & 7]) << i;
    EXPECT_EQ(entry(i)[1], redGreenLevels[(i >> 2) & 7]) << i;
    EXPECT_EQ(entry(i)[2], blueLevels[i & 3]) << i;
  }
}

TEST(RendererConfig, NullBuffersAreRefusedAndChangeNothing) {
  RendererConfig config;
  config.method = 4242;
  EXPECT_FALSE(SaveConfig(config, nullptr));
  EXPECT_FALSE(LoadConfig(config, nullptr));
  EXPECT_EQ(config.method, 4242);
  EXPECT_EQ(config.version, 110u);
}

TEST(RendererConfig, NewerVersionsAreRefusedComparedUnsigned) {
  for (uint32_t version : {111u, 0x80000000u, 0xFFFFFFFFu}) {
    Block block = Saved(RendererConfig());
    PutU32(block, 0, version);
    PutU32(block, 4, 1002);
    RendererConfig config;
    EXPECT_FALSE(LoadConfig(config, block.data())) << version;
    EXPECT_EQ(Saved(config), Saved(RendererConfig())) << version;
  }
}

TEST(RendererConfig, OlderVersionsAreTakenWholeAndSavedBackUnchanged) {
  for (uint32_t version : {0u, 100u, 110u}) {
    Block block = Saved(RendererConfig());
    PutU32(block, 0, version);
    PutU32(block, 264, 1024);
    block[1036 + 3 * 15 + 1] = 77;
    RendererConfig config;
    ASSERT_TRUE(LoadConfig(config, block.data()));
    EXPECT_EQ(config.version, version);
    EXPECT_EQ(config.method, 1024);
    EXPECT_EQ(config.ranges[15].to, 77);
    EXPECT_EQ(Saved(config), block);
  }
}

TEST(RendererConfig, EveryByteOfAStoredBlockRoundTrips) {
  std::mt19937 random(7);
  Block block(kConfigSize);
  for (auto& byte : block) byte = uint8_t(random());
  PutU32(block, 0, 42);
  // A 255-character name, and bytes after its terminator that must survive.
  std::memset(block.data() + 8, 'n', 255);
  block[8 + 255] = 0;
  RendererConfig config;
  ASSERT_TRUE(LoadConfig(config, block.data()));
  EXPECT_EQ(Saved(config), block);
  EXPECT_EQ(OutputName(config)->size(), 255u);
}

TEST(RendererConfig, SelectorFieldsTestForTheFirstIdOnly) {
  RendererConfig config;
  EXPECT_EQ(SelectedIdChannel(config), IdChannel::kMaterialEffects);
  EXPECT_TRUE(UsesUniformDistribution(config));
  for (int32_t other : {1002, 0, -1, 1023}) {
    config.sourceChannel = other;
    EXPECT_EQ(SelectedIdChannel(config), IdChannel::kObject) << other;
  }
  for (int32_t other : {1024, 0, -1, 1001}) {
    config.method = other;
    EXPECT_FALSE(UsesUniformDistribution(config)) << other;
  }
}

TEST(RendererConfig, OutputNameNeedsATerminatorWithinTheField) {
  RendererConfig config;
  EXPECT_EQ(*OutputName(config), "slvo.pcx");
  std::memset(config.outputName, 'x', kNameSize);
  EXPECT_FALSE(OutputName(config).has_value());

  EXPECT_TRUE(SetOutputName(config, std::string(255, 'a')));
  EXPECT_EQ(OutputName(config)->size(), 255u);
  EXPECT_FALSE(SetOutputName(config, std::string(256, 'b')));
  EXPECT_EQ(*OutputName(config), std::string(255, 'a'));
  EXPECT_TRUE(SetOutputName(config, "walk.pcx"));
  EXPECT_EQ(*OutputName(config), "walk.pcx");
  EXPECT_EQ(config.outputName[9], 0) << "old name bytes are cleared";
}

TEST(ComposeOutputName, CutsAtTheFirstDotAndAppendsTheFrameNumber) {
  EXPECT_EQ(ComposeOutputName("slvo.pcx", 7), "slvo0007.pcx");
  EXPECT_EQ(ComposeOutputName("walk.cycle.pcx", 12345), "walk12345.pcx");
  EXPECT_EQ(ComposeOutputName("frames", 3), "frames0003.pcx");
  EXPECT_EQ(ComposeOutputName("C:\\my.dir\\x.pcx", 3), "C:\\my0003.pcx");
  EXPECT_EQ(ComposeOutputName("slvo.pcx", -1), "slvo-001.pcx");
  EXPECT_EQ(ComposeOutputName(".pcx", 0), "0000.pcx");
  EXPECT_EQ(ComposeOutputName("a.pcx", -2147483647 - 1), "a-2147483648.pcx");
}

TEST(ComposeOutputName, RefusesNamesPastTwoHundredFiftyFiveCharacters) {
  const std::string base247(247, 'n');
  EXPECT_EQ(ComposeOutputName(base247 + ".pcx", 1).size(), 255u);
  EXPECT_EQ(ComposeOutputName(base247 + "n.pcx", 1), "");
  EXPECT_EQ(ComposeOutputName(base247 + ".pcx", 10000), "");
}

}  // namespace
}  // namespace selvo
