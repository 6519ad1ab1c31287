#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/atomic_file.h"
#include "imageio/png/png_io.h"
#include "imageio/png/png_pvt.h"

namespace selvo {
namespace {

void WriteData(png_structp png, png_bytep data, png_size_t length) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, io->file) == length) return;
  io->systemError = errno;
  png_error(png, "write failed");
}

void FlushNothing(png_structp) {}  // the file writer flushes when it closes

// Writes one image whose rows the caller lays out; `describe` sets the header.
template <typename Describe>
std::string EncodePng(std::FILE* file, const std::vector<png_bytep>& rows, Describe describe) {
  PngIo io;
  io.file = file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return "out of memory";
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    if (io.systemError != 0)
      return std::string("cannot write file: ") + std::strerror(io.systemError);
    return std::string("cannot encode PNG (") + io.message + ")";
  }
  png_set_write_fn(png, &io, WriteData, FlushNothing);
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

std::string WritePngIndexed(const std::string& path, const uint8_t* indices, int width, int height,
                            const uint8_t palette[768], std::optional<uint8_t> transparent) {
  std::vector<uint8_t> bytes(indices, indices + std::size_t(width) * height);
  const std::vector<png_bytep> rows = RowPointers(bytes, height);
  png_color entries[256];
  for (int i = 0; i < 256; ++i)
    entries[i] = png_color{palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
  png_byte alphas[256];
  std::memset(alphas, 255, sizeof alphas);
  if (transparent) alphas[*transparent] = 0;
  return WriteFileAtomically(path, [&](std::FILE* file) {
    return EncodePng(file, rows, [&](png_structp png, png_infop info) {
      png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                   PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
      png_set_PLTE(png, info, entries, 256);
      if (transparent) png_set_tRNS(png, info, alphas, *transparent + 1, nullptr);
    });
  });
}

}  // namespace selvo
