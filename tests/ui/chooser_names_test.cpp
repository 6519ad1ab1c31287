#include "ui/chooser_names.h"

#include <gtest/gtest.h>

namespace selvo::ui {
namespace {

TEST(ExtensionRule, AppendsPcxUnlessTheNameEndsInItInAnyCase) {
  EXPECT_EQ(WithPcxExtension("walk"), "walk.pcx");
  EXPECT_EQ(WithPcxExtension("x.txt"), "x.txt.pcx");
  EXPECT_EQ(WithPcxExtension("a.PCX"), "a.PCX");
  EXPECT_EQ(WithPcxExtension("a.Pcx"), "a.Pcx");
  EXPECT_EQ(WithPcxExtension(".pcx"), ".pcx");
  EXPECT_EQ(WithPcxExtension("pcx"), "pcx.pcx");  // shorter than four characters
  EXPECT_EQ(WithPcxExtension(""), ".pcx");
  EXPECT_EQ(WithPcxExtension("apcx"), "apcx.pcx");
}

TEST(OutputBaseName, StripsFromTheFirstDotAndTheDigitsBeforeIt) {
  EXPECT_EQ(OutputBaseName("D:\\render\\shot0012.pcx"), "D:\\render\\shot.pcx");
  EXPECT_EQ(OutputBaseName("D:\\anim\\walk"), "D:\\anim\\walk.pcx");
  EXPECT_EQ(OutputBaseName("E:\\out\\a1.b2.PCX"), "E:\\out\\a.pcx");
  EXPECT_EQ(OutputBaseName("E:\\out\\2024.pcx"), "E:\\out\\.pcx");
  EXPECT_EQ(OutputBaseName("E:\\my.dir\\take2.pcx"), "E:\\my.pcx");
  EXPECT_EQ(OutputBaseName("123"), ".pcx");                 // digits to the very start
  EXPECT_EQ(OutputBaseName("shot12a.txt"), "shot12a.pcx");  // digits not just before the dot
}

TEST(ChooserNames, NamesThatWouldPass255CharactersAreRefused) {
  const std::string full(255, 'n');  // the longest name a chooser returns
  EXPECT_EQ(PaletteFileName(full), std::nullopt);
  EXPECT_EQ(OutputBaseName(full), std::nullopt);
  const std::string fits = std::string(251, 'n');
  EXPECT_EQ(PaletteFileName(fits)->size(), 255u);
  EXPECT_EQ(OutputBaseName(fits)->size(), 255u);
  // The output rule may shorten a long name back under the limit.
  const std::string numbered = std::string(249, 'n') + "123456";
  EXPECT_EQ(OutputBaseName(numbered), std::string(249, 'n') + ".pcx");
  EXPECT_EQ(PaletteFileName(numbered), std::nullopt);
}

}  // namespace
}  // namespace selvo::ui
