// Arbitrary files through the PCX palette reader, the trailer check, and
// `selvo config set --palette`, which takes a .pcx file's palette only from
// its trailer (or from content that names another palette format).
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cli/config/config_command.h"
#include "fuzz/fuzz_check.h"
#include "pcx/pcx_palette.h"
#include "testing/scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const selvo::test::ScratchDir dir;
  static const std::string path = dir.Path("input.pcx");
  selvo::test::WriteBytes(path, data, size);

  uint8_t palette[768];
  std::memset(palette, 0x5A, sizeof palette);
  const bool read = selvo::ReadPcxPalette(path, palette);
  if (size >= 768) {
    CHECK(read && std::memcmp(palette, data + size - 768, 768) == 0);
  } else {
    CHECK(!read);
    for (uint8_t b : palette) CHECK(b == 0x5A);  // a short file changes nothing
  }

  const bool trailer = size >= 128 + 769 && data[0] == 0x0A && data[1] == 5 && data[3] == 8 &&
                       data[65] == 1 && data[size - 769] == 0x0C;
  CHECK(selvo::HasPaletteTrailer(path) == trailer);

  selvo::RendererConfig config;
  const std::string error = selvo::ApplySetting(config, "--palette", path);
  if (trailer) {
    CHECK(error.empty() && std::memcmp(config.palette, data + size - 768, 768) == 0);
  } else if (!error.empty()) {
    const selvo::RendererConfig defaults;
    CHECK(error.compare(0, path.size() + 2, path + ": ") == 0 &&
          error.find('\n') == std::string::npos);
    CHECK(std::memcmp(config.palette, defaults.palette, 768) == 0);
  } else {
    const std::string_view head(reinterpret_cast<const char*>(data), size < 20 ? size : 20);
    const auto named = [&](std::string_view magic) {
      return head.find(magic) == 0 || head.find(magic) == 3;  // 3: after a byte order mark
    };
    CHECK(named("GIMP Palette") || named("JASC-PAL") || named("\x89PNG\r\n\x1a\n"));
  }
  return 0;
}
