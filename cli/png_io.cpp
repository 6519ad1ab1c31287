#include "cli/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include "files/atomic_file.h"

namespace selvo {
namespace {

// libpng reports errors through a callback that must not return; it leaves
// the message here and jumps back to the setjmp of the running call.
struct PngError {
  char message[200] = "";
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp text) {
  auto* error = static_cast<PngError*>(png_get_error_ptr(png));
  std::snprintf(error->message, sizeof error->message, "%s", text);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

enum class PngUse { kColor, kIds };

// What a decode produced. It lives in the caller's frame so that nothing
// between setjmp and a longjmp owns memory.
struct DecodedPng {
  int width = 0;
  int height = 0;
  int channels = 0;
  int bytesPerSample = 0;
  std::vector<uint8_t> samples;  // rows packed; 16-bit samples big-endian
  std::vector<png_bytep> rows;
};

// Sets up the transforms for `use`; returns the problem or null. (No
// std::string here: a longjmp must not cross objects with destructors.)
const char* ChooseTransforms(png_structp png, png_infop info, PngUse use) {
  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  if (use == PngUse::kIds) {
    // IDs are numbers, not brightness: low depths are unpacked, not scaled.
    if (colorType != PNG_COLOR_TYPE_GRAY)
      return "an ID image must be a greyscale PNG without alpha";
    if (bitDepth < 8) png_set_packing(png);
    return nullptr;
  }
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  return nullptr;
}

// zlib's largest expansion: one 258-byte match coded in two bits.
constexpr uint64_t kMaxDeflateRatio = 1032;

std::string DecodePng(std::FILE* file, uint64_t fileSize, PngUse use, DecodedPng& out) {
  PngError error;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error,
                                           OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return "out of memory";
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return std::string("not a readable PNG file (") + error.message + ")";
  }
  png_init_io(png, file);
  // Our own size limit applies, with its own message, before any pixels.
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width > png_uint_32(kMaxImageSide) || height > png_uint_32(kMaxImageSide)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than 65535 in width or height";
  }
  // A few hundred bytes of header can promise 65535 x 65535 pixels. Rows
  // that even the densest compressed data could not fill are refused before
  // any memory is set aside for them.
  const uint64_t promisedBytes = (uint64_t(png_get_rowbytes(png, info)) + 1) * height;
  if (promisedBytes / kMaxDeflateRatio > fileSize) {
    png_destroy_read_struct(&png, &info, nullptr);
    return "not a readable PNG file (" + std::to_string(width) + " x " + std::to_string(height) +
           " pixels cannot fit in its " + std::to_string(fileSize) + " bytes)";
  }
  if (const char* problem = ChooseTransforms(png, info, use)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return problem;
  }
  png_set_interlace_handling(png);  // Adam7 files arrive as whole rows
  png_read_update_info(png, info);
  out.width = int(width);
  out.height = int(height);
  out.channels = png_get_channels(png, info);
  out.bytesPerSample = png_get_bit_depth(png, info) == 16 ? 2 : 1;
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  try {
    out.samples.resize(rowBytes * height);
    out.rows.resize(height);
  } catch (const std::bad_alloc&) {
    png_destroy_read_struct(&png, &info, nullptr);
    return "out of memory for " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
  }
  for (png_uint_32 y = 0; y < height; ++y) out.rows[y] = out.samples.data() + y * rowBytes;
  png_read_image(png, out.rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return "";
}

std::string DecodePngFile(const std::string& path, PngUse use, DecodedPng& out) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return path + ": cannot open file";
  const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::rewind(file);
  std::string problem = size < 0 ? "cannot read file" : DecodePng(file, uint64_t(size), use, out);
  std::fclose(file);
  return problem.empty() ? "" : path + ": " + problem;
}

// Sample i of the decoded data as stored.
uint16_t Sample(const DecodedPng& png, std::size_t i) {
  if (png.bytesPerSample == 1) return png.samples[i];
  return uint16_t(png.samples[2 * i] << 8 | png.samples[2 * i + 1]);
}

// Sample i as a 16-bit level: 8-bit v becomes v * 257, so 255 is 65535.
uint16_t Level(const DecodedPng& png, std::size_t i) {
  return uint16_t(png.bytesPerSample == 1 ? Sample(png, i) * 257 : Sample(png, i));
}

// Writes one image whose rows the caller lays out; `describe` sets the header.
template <typename Describe>
std::string EncodePng(std::FILE* file, const std::vector<png_bytep>& rows, Describe describe) {
  PngError error;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error,
                                            OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return "out of memory";
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return std::string("cannot encode PNG (") + error.message + ")";
  }
  png_init_io(png, file);
  describe(png, info);
  png_write_info(png, info);
  png_write_image(png, const_cast<png_bytepp>(rows.data()));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return "";
}

std::vector<png_bytep> RowPointers(std::vector<uint8_t>& bytes, int height) {
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  const std::size_t rowBytes = bytes.size() / std::size_t(height);
  for (int y = 0; y < height; ++y) rows[y] = bytes.data() + std::size_t(y) * rowBytes;
  return rows;
}

}  // namespace

std::string ReadPngColor(const std::string& path, ColorImage& image) {
  DecodedPng png;
  std::string error = DecodePngFile(path, PngUse::kColor, png);
  if (!error.empty()) return error;
  image.width = png.width;
  image.height = png.height;
  image.pixels.assign(std::size_t(png.width) * png.height, Pixel64{});
  const bool grey = png.channels <= 2;
  const bool alpha = png.channels == 2 || png.channels == 4;
  for (std::size_t p = 0; p < image.pixels.size(); ++p) {
    const std::size_t s = p * png.channels;
    Pixel64& pixel = image.pixels[p];
    pixel.r = Level(png, s);
    pixel.g = grey ? pixel.r : Level(png, s + 1);
    pixel.b = grey ? pixel.r : Level(png, s + 2);
    pixel.a = alpha ? Level(png, s + png.channels - 1) : 65535;
  }
  return "";
}

std::string ReadPngIds(const std::string& path, IdImage& image) {
  DecodedPng png;
  std::string error = DecodePngFile(path, PngUse::kIds, png);
  if (!error.empty()) return error;
  image.width = png.width;
  image.height = png.height;
  image.ids.resize(std::size_t(png.width) * png.height);
  for (std::size_t p = 0; p < image.ids.size(); ++p) image.ids[p] = Sample(png, p);
  return "";
}

std::string WritePngRgba16(const std::string& path, const ColorImage& image) {
  std::vector<uint8_t> bytes(image.pixels.size() * 8);
  for (std::size_t p = 0; p < image.pixels.size(); ++p) {
    const Pixel64& pixel = image.pixels[p];
    const uint16_t levels[4] = {pixel.r, pixel.g, pixel.b, pixel.a};
    for (int c = 0; c < 4; ++c) {
      bytes[8 * p + 2 * c] = uint8_t(levels[c] >> 8);  // PNG is big-endian
      bytes[8 * p + 2 * c + 1] = uint8_t(levels[c]);
    }
  }
  const std::vector<png_bytep> rows = RowPointers(bytes, image.height);
  return WriteFileAtomically(path, [&](std::FILE* file) {
    return EncodePng(file, rows, [&](png_structp png, png_infop info) {
      png_set_IHDR(png, info, image.width, image.height, 16, PNG_COLOR_TYPE_RGB_ALPHA,
                   PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    });
  });
}

std::string WritePngIndexed(const std::string& path, const uint8_t* indices,
                            int width, int height, const uint8_t palette[768]) {
  std::vector<uint8_t> bytes(indices, indices + std::size_t(width) * height);
  const std::vector<png_bytep> rows = RowPointers(bytes, height);
  png_color entries[256];
  for (int i = 0; i < 256; ++i)
    entries[i] = png_color{palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
  return WriteFileAtomically(path, [&](std::FILE* file) {
    return EncodePng(file, rows, [&](png_structp png, png_infop info) {
      png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE,
                   PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
      png_set_PLTE(png, info, entries, 256);
    });
  });
}

std::string ReadPngPalette(const std::string& path, PngPaletteInfo& info) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return path + ": cannot open file";
  PngError error;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error,
                                           OnPngError, OnPngWarning);
  png_infop pngInfo = png ? png_create_info_struct(png) : nullptr;
  if (pngInfo == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::fclose(file);
    return path + ": out of memory";
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    std::fclose(file);
    return path + ": not a readable PNG file (" + error.message + ")";
  }
  png_init_io(png, file);
  png_read_info(png, pngInfo);
  info.width = int(png_get_image_width(png, pngInfo));
  info.height = int(png_get_image_height(png, pngInfo));
  info.indexed = png_get_color_type(png, pngInfo) == PNG_COLOR_TYPE_PALETTE;
  png_colorp entries = nullptr;
  int count = 0;
  if (info.indexed) png_get_PLTE(png, pngInfo, &entries, &count);
  info.entries.clear();
  for (int i = 0; i < count; ++i)
    info.entries.insert(info.entries.end(), {entries[i].red, entries[i].green, entries[i].blue});
  png_destroy_read_struct(&png, &pngInfo, nullptr);
  std::fclose(file);
  return "";
}

}  // namespace selvo
