// Arbitrary files through the palette readers of every format. The first
// byte picks the file's extension, the rest is the file. A file is either
// refused with one line that names it, or gives colours that, placed into a
// palette and written in that format, read back unchanged.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "imageio/palette/palette_files.h"
#include "testing/scratch_dir.h"

namespace {

bool OneLine(const std::string& error) { return error.find('\n') == std::string::npos; }

// The text and binary parsers report where the file is at fault.
void CheckParsers(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<selvo::PaletteColor> colors;
  for (const auto parse :
       {selvo::ParseGimpPalette, selvo::ParseJascPalette, selvo::ParseHexPalette}) {
    const std::string error = parse(text, colors);
    CHECK(error.empty() ? !colors.empty() : error.compare(0, 5, "line ") == 0 && OneLine(error));
  }
  const std::string error =
      selvo::ParseAdobePalette(std::vector<uint8_t>(data, data + size), colors);
  CHECK(error.empty() ? colors.size() >= 1 && colors.size() <= 256
                      : error.compare(0, 5, "byte ") == 0 && OneLine(error));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const selvo::test::ScratchDir dir;
  // Read under every palette extension and one that names none; written
  // under each palette extension.
  static const char* const kExtensions[] = {".gpl", ".pal", ".act", ".hex", ".png", ".pcx", ".txt"};
  if (size == 0) return 0;
  const std::size_t pick = data[0] % 7;
  ++data;
  --size;
  CheckParsers(data, size);

  const std::string path = dir.Path(std::string("input") + kExtensions[pick]);
  selvo::test::WriteBytes(path, data, size);
  std::vector<selvo::PaletteColor> colors;
  const std::string error = selvo::ReadPaletteFile(path, colors);
  if (!error.empty()) {
    CHECK(error.compare(0, path.size() + 2, path + ": ") == 0 && OneLine(error));
    return 0;
  }
  CHECK(!colors.empty());
  uint8_t palette[768] = {};
  if (!selvo::PlacePaletteColors(colors, 0, path, palette).empty()) {
    CHECK(colors.size() > 256);
    return 0;
  }
  const std::string out = dir.Path(std::string("written") + kExtensions[pick % 6]);
  CHECK(selvo::WritePaletteFile(out, palette).empty());
  std::vector<selvo::PaletteColor> back;
  CHECK(selvo::ReadPaletteFile(out, back).empty() && back.size() == 256);
  CHECK(std::memcmp(back.data(), palette, 768) == 0);
  return 0;
}
