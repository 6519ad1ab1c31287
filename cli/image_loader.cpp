#include "cli/image_loader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "cli/png_io.h"

namespace selvo {
namespace {

enum class ImageFormat { kPng, kExr, kUnknown, kUnreadable };

ImageFormat SniffFormat(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return ImageFormat::kUnreadable;
  unsigned char magic[8] = {};
  const std::size_t got = std::fread(magic, 1, sizeof magic, file);
  std::fclose(file);
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static const unsigned char kExr[4] = {0x76, 0x2F, 0x31, 0x01};
  if (got == 8 && std::memcmp(magic, kPng, 8) == 0) return ImageFormat::kPng;
  if (got >= 4 && std::memcmp(magic, kExr, 4) == 0) return ImageFormat::kExr;
  return ImageFormat::kUnknown;
}

// Runs `load` for a file of a known format; the images can be large enough
// to exhaust memory, which is reported like any other problem.
template <typename Png, typename Exr>
std::string LoadByFormat(const std::string& path, Png png, Exr exr) {
  try {
    switch (SniffFormat(path)) {
      case ImageFormat::kPng: return png();
      case ImageFormat::kExr: return exr();
      case ImageFormat::kUnknown: return path + ": neither a PNG nor an OpenEXR file";
      case ImageFormat::kUnreadable: break;
    }
    return path + ": cannot open file";
  } catch (const std::bad_alloc&) {
    return path + ": out of memory";
  }
}

}  // namespace

std::string LoadColorImage(const std::string& path, const ExrColorOptions& options,
                           ColorImage& image) {
  return LoadByFormat(
      path, [&] { return ReadPngColor(path, image); },
      [&] { return ReadExrColor(path, options, image); });
}

std::string LoadIdImage(const std::string& path, int selector,
                        const std::string& exrChannel, IdImage& image) {
  return LoadByFormat(
      path, [&] { return ReadPngIds(path, image); },
      [&] { return ReadExrIds(path, selector, exrChannel, image); });
}

}  // namespace selvo
