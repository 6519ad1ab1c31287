// Arbitrary files through selvo's image loaders, PNG and OpenEXR alike (the
// loaders tell them apart by their first bytes): as a colour image, as a
// material-ID pass, as an object-ID pass, and as both at once. Each load
// either succeeds with a consistent image or gives one line that names the
// file. The plain PNG decoder never gives what libpng alone would not.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "imageio/image_loader.h"
#include "imageio/png/png_io.h"
#include "testing/scratch_dir.h"

namespace {

using namespace selvo;

void CheckError(const std::string& error, const std::string& path) {
  CHECK(error.compare(0, path.size() + 2, path + ": ") == 0);
  CHECK(error.size() > path.size() + 2);
  for (const char c : error) CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

bool SizeFits(int width, int height, std::size_t count) {
  return width >= 1 && width <= kMaxImageSide && height >= 1 && height <= kMaxImageSide &&
         count == std::size_t(width) * std::size_t(height);
}

// Whatever the plain decoder reads, libpng reads alike.
void CheckPlainPngAgreesWithLibpng(const std::string& path) {
  ColorImage plain;
  if (!ReadPngColor(path, plain, PngDecoder::kPlainOnly).empty()) return;
  ColorImage libpng;
  CHECK(ReadPngColor(path, libpng, PngDecoder::kLibpng).empty());
  CHECK(plain.width == libpng.width && plain.height == libpng.height);
  CHECK(std::memcmp(plain.pixels.data(), libpng.pixels.data(),
                    plain.pixels.size() * sizeof(Pixel64)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const test::ScratchDir dir;
  static const std::string path = dir.Path("input");
  test::WriteBytes(path, data, size);

  ExrColorOptions options;
  options.linear = size % 2 == 1;  // both transfer functions, by the input's length
  ColorImage color;
  const std::string colorError = LoadColorImage(path, options, color);
  if (colorError.empty()) CHECK(SizeFits(color.width, color.height, color.pixels.size()));
  else CheckError(colorError, path);

  for (IdChannel channel : {IdChannel::kMaterialEffects, IdChannel::kObject}) {
    IdImage ids;
    const std::string idError = LoadIdImage(path, channel, "", ids);
    if (idError.empty()) CHECK(SizeFits(ids.width, ids.height, ids.ids.size()));
    else CheckError(idError, path);
  }

  // Both from the one file in one pass, as a multilayer frame is read.
  ColorImage both;
  IdImage bothIds;
  const std::string bothError =
      LoadFrameImages(path, options, path, IdChannel::kObject, "", both, bothIds);
  if (bothError.empty()) {
    CHECK(SizeFits(both.width, both.height, both.pixels.size()));
    CHECK(SizeFits(bothIds.width, bothIds.height, bothIds.ids.size()));
  } else {
    CheckError(bothError, path);
  }
  CheckPlainPngAgreesWithLibpng(path);
  return 0;
}
