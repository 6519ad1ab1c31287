// The stand-in host SDK's own facilities that modules rely on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "host/sdk/image_filter.h"
#include "host/sdk/utilities.h"

namespace {

// The file dialog reads description, pattern, ... each NUL-terminated, the
// list closed by a second NUL.
TEST(FilterList, JoinsEntriesIntoADoubleNulTerminatedString) {
  FilterList empty;
  const char* none = empty;
  EXPECT_EQ('\0', none[0]);
  EXPECT_EQ('\0', none[1]);

  FilterList list;
  list.Append("PCX Files (*.pcx)");
  list.Append("*.pcx");
  const char* text = list;
  const std::string expected("PCX Files (*.pcx)\0*.pcx\0\0", 25);
  EXPECT_EQ(expected, std::string(text, expected.size()));
}

TEST(Zfree, FreesAndClearsThePointer) {
  void* block = std::malloc(16);
  zfree(&block);
  EXPECT_EQ(nullptr, block);
  zfree(&block);  // a cleared pointer is left alone
  EXPECT_EQ(nullptr, block);
}

TEST(Bitmap, PixelRunsMustStayInsideTheFrame) {
  Bitmap frame(3, 2);
  BMM_Color_64 run[4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
  EXPECT_EQ(1, frame.PutPixels(2, 0, 4, run)) << "a run may continue on the next row";
  EXPECT_EQ(0, frame.PutPixels(0, 1, 4, run)) << "but not past the last pixel";
  EXPECT_EQ(0, frame.PutPixels(3, 0, 1, run));
  EXPECT_EQ(0, frame.PutPixels(0, 2, 1, run));

  BMM_Color_64 back[4] = {};
  EXPECT_EQ(1, frame.GetPixels(0, 1, 3, back));
  EXPECT_EQ(5, back[0].r);
  EXPECT_EQ(16, back[2].a);
  EXPECT_EQ(0, frame.GetPixels(-1, 0, 1, back));
  EXPECT_EQ(0, frame.GetPixels(1, 1, 3, back));
}

TEST(Bitmap, CarriesOnlyTheChannelsTheRendererDelivered) {
  Bitmap frame(3, 2);
  EXPECT_EQ(nullptr, frame.GetChannel(kMaterialEffectsIdChannel));
  void* objects = frame.CreateChannel(kObjectIdChannel);
  ASSERT_NE(nullptr, objects);
  EXPECT_EQ(objects, frame.GetChannel(kObjectIdChannel));
  EXPECT_EQ(nullptr, frame.GetChannel(kMaterialEffectsIdChannel));
  EXPECT_EQ(nullptr, frame.CreateChannel(8)) << "no such channel";

  Bitmap empty;
  EXPECT_EQ(0, empty.Width());
  EXPECT_EQ(0, empty.Height());
  EXPECT_EQ(nullptr, empty.CreateChannel(kObjectIdChannel));
}

}  // namespace
