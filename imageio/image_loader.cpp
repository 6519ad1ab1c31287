#include "imageio/image_loader.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "core/renderer_config.h"
#include "files/file_error.h"
#include "files/same_file.h"
#include "imageio/png/png_io.h"

namespace selvo {
namespace {

enum class ImageFormat { kPng, kExr, kUnknown, kUnreadable, kFolder };

// Tells the format by the first bytes and leaves the file open for the
// EXR reader, which reads it from the same stream.
ImageFormat SniffFormat(const std::string& path, std::ifstream& file) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return ImageFormat::kFolder;
  file.open(path, std::ios::binary);
  if (!file) return ImageFormat::kUnreadable;
  unsigned char magic[8] = {};
  file.read(reinterpret_cast<char*>(magic), sizeof magic);
  const std::streamsize got = file.gcount();
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
    std::ifstream file;
    switch (SniffFormat(path, file)) {
      case ImageFormat::kPng: return png();
      case ImageFormat::kExr: return exr(file);
      case ImageFormat::kUnknown: return path + ": neither a PNG nor an OpenEXR file";
      case ImageFormat::kFolder: return path + ": is a folder, not a PNG or OpenEXR file";
      case ImageFormat::kUnreadable: break;
    }
    return FileError(path, "cannot open file");
  } catch (const std::bad_alloc&) {
    return path + ": out of memory";
  }
}

}  // namespace

std::string LoadColorImage(const std::string& path, const ExrColorOptions& options,
                           ColorImage& image) {
  return LoadByFormat(
      path, [&] { return ReadPngColor(path, image); },
      [&](std::ifstream& file) {
        ExrRequest request;
        request.color = &options;
        request.colorImage = &image;
        return ReadExr(path, file, request);
      });
}

std::string LoadIdImage(const std::string& path, IdChannel channel, const std::string& exrChannel,
                        IdImage& image) {
  return LoadByFormat(
      path, [&] { return ReadPngIds(path, image); },
      [&](std::ifstream& file) {
        ExrRequest request;
        request.idChannel = channel;
        request.idChannelName = exrChannel;
        request.idImage = &image;
        return ReadExr(path, file, request);
      });
}

std::string LoadFrameImages(const std::string& colorPath, const ExrColorOptions& options,
                            const std::string& idsPath, IdChannel channel,
                            const std::string& exrChannel, ColorImage& color, IdImage& ids) {
  if (!SameFile(colorPath, idsPath)) {
    const std::string error = LoadColorImage(colorPath, options, color);
    return error.empty() ? LoadIdImage(idsPath, channel, exrChannel, ids) : error;
  }
  return LoadByFormat(
      colorPath,
      [&] {
        const std::string error = ReadPngColor(colorPath, color);
        return error.empty() ? ReadPngIds(colorPath, ids) : error;
      },
      [&](std::ifstream& file) {
        return ReadExr(colorPath, file, {&options, &color, channel, exrChannel, &ids});
      });
}

std::string CheckIdsFit(const IdImage& ids, IdChannel channel, const std::string& source) {
  if (channel != IdChannel::kMaterialEffects) return "";
  for (std::size_t p = 0; p < ids.ids.size(); ++p) {
    if (ids.ids[p] > 255) {
      return source + ": ID " + std::to_string(ids.ids[p]) + " at pixel (" +
             std::to_string(p % ids.width) + ", " + std::to_string(p / ids.width) +
             ") does not fit the material effects channel (0..255)";
    }
  }
  return "";
}

std::string CheckSameSize(const ColorImage& color, const std::string& colorSource,
                          const IdImage& ids, const std::string& idSource) {
  if (color.width == ids.width && color.height == ids.height) return "";
  return idSource + ": " + std::to_string(ids.width) + " x " + std::to_string(ids.height) +
         " pixels, but " + colorSource + " is " + std::to_string(color.width) + " x " +
         std::to_string(color.height);
}

}  // namespace selvo
