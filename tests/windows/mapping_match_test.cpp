// The module, rendering inside this build (32 or 64 bits), picks exactly the
// entries the native core picks: every mapping case of mapping_cases.h is
// rendered through the filter as a host renders a frame, and the PCX indices
// are compared with the table the native build wrote (SELVO_MAPPING_TABLE).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "host/progress_window.h"
#include "testing/pcx_decode.h"
#include "tests/windows/mapping_cases.h"
#include "windows_test_support.h"

namespace {

using mapping_cases::MappingCase;

// The native indices of each case, in case order.
std::vector<std::vector<uint8_t>> ReadNativeTable() {
  const char* path = std::getenv("SELVO_MAPPING_TABLE");
  if (path == nullptr) {
    ADD_FAILURE() << "SELVO_MAPPING_TABLE names no file";
    return {};
  }
  const std::vector<uint8_t> bytes = wintest::ReadBytes(path);
  std::vector<std::vector<uint8_t>> table;
  size_t at = 0;
  while (at + 4 <= bytes.size()) {
    const size_t count = wintest::U32At(bytes, at);
    at += 4;
    if (count > bytes.size() - at) break;
    table.emplace_back(bytes.begin() + at, bytes.begin() + at + count);
    at += count;
  }
  EXPECT_EQ(bytes.size(), at) << path << " ends inside a case";
  return table;
}

// The module's indices for one case, read back from the PCX it writes.
std::vector<uint8_t> RenderThroughModule(const MappingCase& c) {
  wintest::LoadedFilter loaded;
  EXPECT_TRUE(loaded.Load());
  if (!loaded.filter) return {};
  selvo::RendererConfig config = c.config;
  selvo::SetOutputName(config, "mapping.pcx");
  wintest::Block block(wintest::kBlockSize);
  selvo::SaveConfig(config, block.data());
  EXPECT_TRUE(loaded.filter->LoadConfig(block.data()));

  Bitmap frame(WORD(c.width), WORD(c.height));
  static_assert(sizeof(BMM_Color_64) == sizeof(selvo::Pixel64), "one pixel record");
  std::memcpy(frame.Storage(), c.pixels.data(), c.pixels.size() * sizeof(BMM_Color_64));
  std::memcpy(frame.CreateChannel(kObjectIdChannel), c.ids.data(), c.ids.size() * sizeof(WORD));
  ImageFilterInfo info;
  info.frameNumber = 0;
  StandInProgressWindow progress;
  loaded.filter->SetSource(&frame);
  loaded.filter->SetFilterInfo(&info);
  EXPECT_TRUE(loaded.filter->RenderFrame(progress.Handle()));

  const selvo::test::DecodedPcx image =
      selvo::test::DecodePcx(wintest::ReadBytes("mapping0000.pcx"));
  EXPECT_TRUE(image.ok);
  DeleteFileA("mapping0000.pcx");
  return image.indices;
}

TEST(MappingMatchesNative, EveryCasePicksTheNativeEntries) {
  const std::vector<std::vector<uint8_t>> table = ReadNativeTable();
  ASSERT_EQ(size_t(mapping_cases::kCaseCount), table.size());
  for (int i = 0; i < mapping_cases::kCaseCount; ++i) {
    const MappingCase c = mapping_cases::MakeCase(i);
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> module = RenderThroughModule(c);
    ASSERT_EQ(table[i].size(), module.size());
    int differences = 0;
    for (size_t p = 0; p < module.size(); ++p) {
      if (module[p] == table[i][p]) continue;
      const selvo::Pixel64& color = c.pixels[p];
      if (++differences <= 10)
        ADD_FAILURE() << "pixel (" << p % c.width << ", " << p / c.width << ") colour (" << color.r
                      << ", " << color.g << ", " << color.b << ") ID " << c.ids[p] << ": native "
                      << int(table[i][p]) << ", module " << int(module[p]);
    }
    EXPECT_EQ(0, differences) << "of " << module.size() << " pixels";
  }
}

}  // namespace
