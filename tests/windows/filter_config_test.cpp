// The filter's identification and its settings block, through the filter
// object that the module's descriptor creates.
#include <gtest/gtest.h>

#include "windows_test_support.h"

namespace {

using wintest::Block;

class FilterConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(loaded.Load()); }
  ImageFilter& filter() { return *loaded.filter; }
  wintest::LoadedFilter loaded;
};

TEST_F(FilterConfigTest, IdentifiesItself) {
  EXPECT_STREQ("Selvo Palette Renderer", filter().GetDescription());
  EXPECT_EQ(110UL, filter().GetVersion());
  EXPECT_EQ(6UL, filter().GetCapability());
  EXPECT_EQ(1084UL, filter().GetConfigSize());
}

// The host lists the author and copyright texts beside other filters' and
// may keep the pointers: each is a fixed, printable line that no later
// string lookup of the module (which reuses one shared buffer) overwrites,
// and every filter object gives the same.
TEST_F(FilterConfigTest, AuthorAndCopyrightAreFixedTexts) {
  using Text = const char* (ImageFilter::*)();
  for (Text text : {&ImageFilter::GetAuthorName, &ImageFilter::GetCopyrightMessage}) {
    const char* held = (filter().*text)();
    ASSERT_NE(nullptr, held);
    const std::string first = held;
    EXPECT_FALSE(first.empty());
    for (char c : first) EXPECT_TRUE(c >= ' ' && c <= '~') << "character " << int(c);
    // Two lookups of different texts: whichever the buffer held, one of
    // them changes it.
    filter().GetDescription();
    EXPECT_EQ(first, held) << "overwritten by the description's lookup";
    loaded.module.LibClassDesc(0)->Category();
    EXPECT_EQ(first, held) << "overwritten by the category's lookup";
    const FilterPtr other = CreateFilter(*loaded.module.LibClassDesc(0));
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(first, ((*other).*text)());
  }
}

TEST_F(FilterConfigTest, FreshBlockHoldsTheDefaults) {
  const Block block = loaded.Save();
  EXPECT_EQ(110u, wintest::U32At(block, wintest::kVersionAt));
  EXPECT_EQ(1001u, wintest::U32At(block, wintest::kSourceAt));
  EXPECT_STREQ("slvo.pcx", reinterpret_cast<const char*>(&block[wintest::kNameAt]));
  EXPECT_EQ(1023u, wintest::U32At(block, wintest::kMethodAt));
  auto entry = [&](int i) {
    const uint8_t* rgb = &block[wintest::kPaletteAt + 3 * i];
    return std::vector<int>{rgb[0], rgb[1], rgb[2]};
  };
  EXPECT_EQ((std::vector<int>{0, 0, 0}), entry(0));
  EXPECT_EQ((std::vector<int>{0, 0, 85}), entry(1));
  EXPECT_EQ((std::vector<int>{0, 218, 0}), entry(24));
  EXPECT_EQ((std::vector<int>{255, 0, 0}), entry(224));
  EXPECT_EQ((std::vector<int>{255, 255, 255}), entry(255));
  for (size_t i = wintest::kRangesAt; i < wintest::kBlockSize; ++i)
    EXPECT_EQ(0, block[i]) << "range byte " << i;
  EXPECT_FALSE(filter().SaveConfig(nullptr));
}

TEST_F(FilterConfigTest, RequiredChannelFollowsTheSource) {
  EXPECT_EQ(2UL, filter().GetRequiredChannels());
  Block block = loaded.Save();
  for (uint32_t source : {1002u, 7u, 0u}) {
    wintest::PutU32(block, wintest::kSourceAt, source);
    ASSERT_TRUE(filter().LoadConfig(block.data()));
    EXPECT_EQ(4UL, filter().GetRequiredChannels()) << "source " << source;
  }
  wintest::PutU32(block, wintest::kSourceAt, 1001);
  ASSERT_TRUE(filter().LoadConfig(block.data()));
  EXPECT_EQ(2UL, filter().GetRequiredChannels());
}

// Blocks up to version 110 are taken whole and saved back byte for byte,
// their version included; newer ones (compared unsigned) change nothing.
TEST_F(FilterConfigTest, LoadTakesOlderBlocksWholeAndRefusesNewerOnes) {
  const Block defaults = loaded.Save();
  Block stored = defaults;
  wintest::PutU32(stored, wintest::kSourceAt, 1002);
  wintest::PutName(stored, std::string(255, 'n'));
  wintest::PutU32(stored, wintest::kMethodAt, 1024);
  stored[wintest::kPaletteAt + 7] = 0x5A;
  wintest::PutRange(stored, 15, 200, 100, 1);

  for (uint32_t version : {0x80000000u, 111u}) {
    wintest::PutU32(stored, wintest::kVersionAt, version);
    EXPECT_FALSE(filter().LoadConfig(stored.data())) << "version " << version;
    EXPECT_EQ(defaults, loaded.Save()) << "version " << version;
  }
  for (uint32_t version : {0u, 100u, 110u}) {
    wintest::PutU32(stored, wintest::kVersionAt, version);
    EXPECT_TRUE(filter().LoadConfig(stored.data())) << "version " << version;
    EXPECT_EQ(stored, loaded.Save()) << "version " << version;
  }
  EXPECT_FALSE(filter().LoadConfig(nullptr));
  EXPECT_EQ(stored, loaded.Save());
}

}  // namespace
