// The extras document: nothing chosen unless written, every extra read back
// as written, and every malformed document refused with one line that names
// the key, leaving the caller's extras as they were.
#include "extras/extras_document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include "testing/scratch_dir.h"

namespace selvo {
namespace {

TEST(ExtrasDocument, ChoosesNothingUnlessWritten) {
  Extras extras;
  extras.transparency.enabled = true;
  ASSERT_EQ(ParseExtras(R"({"version": 1})", extras), "");
  EXPECT_FALSE(AnyExtraChosen(extras));
  ASSERT_EQ(ParseExtras(ExtrasToJson(Extras{}), extras), "");
  EXPECT_FALSE(AnyExtraChosen(extras));
  // Sections may be empty; the threshold alone turns nothing on.
  ASSERT_EQ(ParseExtras(R"({"version": 1, "transparency": {"alphaThreshold": 0.25},
                            "outlines": {}, "ids": {"4": {}}})",
                        extras),
            "");
  EXPECT_FALSE(AnyExtraChosen(extras));
  EXPECT_EQ(extras.transparency.alphaThreshold, 0.25);
}

TEST(ExtrasDocument, WritesEveryKeyInOneOrderAndReadsItBack) {
  Extras extras;
  extras.matching = ColorMatching::kOklab;
  extras.transparency = Transparency{true, 0.3, 255, {0, 300}};
  extras.outlines.eightNeighbours = true;
  extras.outlines.backgroundOnly = true;
  extras.outlines.index[0] = 0;
  extras.outlines.index[12] = 7;
  extras.dither[3] = OrderedDither::kBayer4;
  extras.dither[12] = OrderedDither::kBayer8;
  const std::string text = ExtrasToJson(extras);
  EXPECT_EQ(text, R"({
  "version": 1,
  "matching": "oklab",
  "transparency": {
    "enabled": true,
    "alphaThreshold": 0.3,
    "index": 255,
    "ids": [
      0,
      300
    ]
  },
  "outlines": {
    "neighbours": 8,
    "backgroundOnly": true
  },
  "ids": {
    "0": {
      "outline": 0,
      "dither": "none"
    },
    "3": {
      "outline": null,
      "dither": "bayer4"
    },
    "12": {
      "outline": 7,
      "dither": "bayer8"
    }
  }
}
)");
  Extras read;
  ASSERT_EQ(ParseExtras(text, read), "");
  EXPECT_EQ(read.matching, ColorMatching::kOklab);
  EXPECT_TRUE(read.transparency.enabled);
  EXPECT_EQ(read.transparency.alphaThreshold, 0.3);
  EXPECT_EQ(read.transparency.index, 255);
  EXPECT_EQ(read.transparency.ids, (std::vector<uint16_t>{0, 300}));
  EXPECT_TRUE(read.outlines.eightNeighbours);
  EXPECT_TRUE(read.outlines.backgroundOnly);
  for (int id = 0; id < kRangeCount; ++id) {
    EXPECT_EQ(read.outlines.index[id], extras.outlines.index[id]) << "ID " << id;
    EXPECT_EQ(read.dither[id], extras.dither[id]) << "ID " << id;
  }
  EXPECT_EQ(ExtrasToJson(read), text);
}

TEST(ExtrasDocument, RefusesWithOneLineNamingTheKey) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({})", R"(missing "version" (1))"},
      {R"([1])", R"(the document must be an object, not [1])"},
      {R"({"version": 2})", R"("version" 2 is newer than 1, which this selvo reads)"},
      {R"({"version": "1"})", R"("version" must be 1, not "1")"},
      {R"({"version": 1, "version": 1})", R"("version" appears twice)"},
      {R"({"version": 1, "dither": "bayer4"})", R"(unknown key "dither")"},
      {R"({"version": 1, "matching": "lab"})",
       R"("matching" must be one of "rgb", "oklab", not "lab")"},
      {R"({"version": 1, "transparency": {"enable": true}})",
       R"(unknown key "transparency.enable")"},
      {R"({"version": 1, "transparency": {"enabled": true, "enabled": false}})",
       R"("transparency.enabled" appears twice)"},
      {R"({"version": 1, "transparency": {"enabled": 1}})",
       R"("transparency.enabled" must be true or false, not 1)"},
      {R"({"version": 1, "transparency": {"alphaThreshold": 1.5}})",
       R"("transparency.alphaThreshold" must be a number from 0 to 1, not 1.5)"},
      {R"({"version": 1, "transparency": {"index": 256}})",
       R"("transparency.index" must be a palette index from 0 to 255 or null, not 256)"},
      {R"({"version": 1, "transparency": {"index": 2.0}})",
       R"("transparency.index" must be a palette index from 0 to 255 or null, not 2.0)"},
      {R"({"version": 1, "transparency": {"ids": [0, 65536]}})",
       R"("transparency.ids" must be a list of IDs from 0 to 65535, not [0,65536])"},
      {R"({"version": 1, "outlines": []})", R"("outlines" must be an object, not [])"},
      {R"({"version": 1, "outlines": {"neighbours": 6}})",
       R"("outlines.neighbours" must be 4 or 8, not 6)"},
      {R"({"version": 1, "ids": {"16": {}}})",
       R"(unknown key "ids.16": IDs 0 to 15 have settings, larger IDs use ID 0's)"},
      {R"({"version": 1, "ids": {"03": {}}})",
       R"(unknown key "ids.03": IDs 0 to 15 have settings, larger IDs use ID 0's)"},
      {R"({"version": 1, "ids": {"3": 5}})", R"("ids.3" must be an object, not 5)"},
      {R"({"version": 1, "ids": {"3": {"dither": "bayer2"}}})",
       R"("ids.3.dither" must be one of "none", "bayer4", "bayer8", not "bayer2")"},
      {R"({"version": 1, "ids": {"3": {"outline": -1}}})",
       R"("ids.3.outline" must be a palette index from 0 to 255 or null, not -1)"},
      {R"({"version": 1, "ids": {"3": {"outline": 1, "colour": 2}}})",
       R"(unknown key "ids.3.colour")"},
      {R"({"version": 1, "ids": {"3": {"outline": 1, "outline": 2}}})",
       R"("ids.3.outline" appears twice)"},
  };
  for (const auto& [document, expected] : cases) {
    Extras extras;
    extras.dither[5] = OrderedDither::kBayer8;
    EXPECT_EQ(ParseExtras(document, extras), expected) << document;
    EXPECT_EQ(extras.dither[5], OrderedDither::kBayer8) << "changed by " << document;
  }
  Extras extras;
  const std::string broken = ParseExtras("{\"version\": 1,\n", extras);
  EXPECT_EQ(broken.rfind("not JSON: parse error at line 2", 0), 0u) << broken;
  EXPECT_EQ(broken.find('\n'), std::string::npos) << broken;
}

TEST(ExtrasDocument, FilesAreWrittenWholeAndNamedInErrors) {
  const test::ScratchDir scratch;
  const std::string path = scratch.Path("hero.extras.json");
  Extras extras;
  extras.outlines.index[2] = 40;
  ASSERT_EQ(WriteExtrasFile(path, extras), "");
  EXPECT_EQ(scratch.Files(), std::vector<std::string>{"hero.extras.json"});
  Extras read;
  ASSERT_EQ(ReadExtrasFile(path, read), "");
  EXPECT_EQ(read.outlines.index[2], 40);

  std::ofstream(path) << R"({"version": 1, "ids": {"2": {"outline": 300}}})";
  EXPECT_EQ(ReadExtrasFile(path, read),
            path + R"(: "ids.2.outline" must be a palette index from 0 to 255 or null, not 300)");
  const std::string missing = scratch.Path("missing.json");
  EXPECT_EQ(ReadExtrasFile(missing, read),
            missing + ": cannot open extras file: No such file or directory");
  const std::string noFolder = scratch.Path("no/such/folder.json");
  EXPECT_EQ(WriteExtrasFile(noFolder, extras).rfind(noFolder, 0), 0u);
}

}  // namespace
}  // namespace selvo
