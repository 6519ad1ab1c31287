#include "imageio/png/png_io.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "files/file_error.h"
#include "imageio/png/png_pvt.h"

namespace selvo {

void OnPngError(png_structp png, png_const_charp text) {
  auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
  std::snprintf(io->message, sizeof io->message, "%s", text);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

namespace {

void ReadData(png_structp png, png_bytep data, png_size_t length) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  const std::size_t got = std::fread(data, 1, length, io->file);
  io->bytesRead += got;
  if (got == length) return;
  if (std::ferror(io->file)) io->systemError = errno;
  else io->ended = true;
  png_error(png, "read failed");
}

// Why reading failed, in the reader's terms rather than libpng's.
std::string ReadProblem(const PngIo& io) {
  if (io.ended)
    return "truncated PNG file (it ends after " + std::to_string(io.bytesRead) + " bytes)";
  if (io.systemError != 0) return std::string("cannot read file: ") + std::strerror(io.systemError);
  return std::string("not a readable PNG file (") + io.message + ")";
}

// A read struct and its info, destroyed however the reading ends.
struct PngReader {
  explicit PngReader(PngIo& io) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, OnPngError, OnPngWarning);
    info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) return;
    png_set_read_fn(png, &io, ReadData);
    if (!kVerifyChecksums) {
      png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
      png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    }
  }
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  png_structp png = nullptr;
  png_infop info = nullptr;
};

// Sample i of a decoded row as stored.
uint16_t Sample(const uint8_t* row, int bytesPerSample, std::size_t i) {
  if (bytesPerSample == 1) return row[i];
  return uint16_t(row[2 * i] << 8 | row[2 * i + 1]);
}

// Sample levels as 16 bits: 8-bit v becomes v * 257, so 255 is 65535.
class ColorRows : public PngRowSink {
 public:
  explicit ColorRows(ColorImage& image) : image_(image) {}
  void Start(const PngSampleLayout& layout) override {
    layout_ = layout;
    image_.width = layout.width;
    image_.height = layout.height;
    StartPlane(image_.pixels, layout.width, layout.height);
  }
  void Row(const uint8_t* samples) override {
    Pixel64* out = AppendRow(image_.pixels, image_.width, image_.height);
    const int channels = layout_.channels;
    const bool grey = channels <= 2;
    const bool alpha = channels == 2 || channels == 4;
    for (int x = 0; x < image_.width; ++x) {
      const std::size_t s = std::size_t(x) * channels;
      Pixel64& pixel = out[x];
      pixel.r = Level(samples, s);
      pixel.g = grey ? pixel.r : Level(samples, s + 1);
      pixel.b = grey ? pixel.r : Level(samples, s + 2);
      pixel.a = alpha ? Level(samples, s + channels - 1) : 65535;
    }
  }

 private:
  uint16_t Level(const uint8_t* row, std::size_t i) const {
    const uint16_t v = Sample(row, layout_.bytesPerSample, i);
    return layout_.bytesPerSample == 1 ? uint16_t(v * 257) : v;
  }
  ColorImage& image_;
  PngSampleLayout layout_;
};

// The greyscale samples themselves are the IDs.
class IdRows : public PngRowSink {
 public:
  explicit IdRows(IdImage& image) : image_(image) {}
  void Start(const PngSampleLayout& layout) override {
    bytesPerSample_ = layout.bytesPerSample;
    image_.width = layout.width;
    image_.height = layout.height;
    StartPlane(image_.ids, layout.width, layout.height);
  }
  void Row(const uint8_t* samples) override {
    uint16_t* out = AppendRow(image_.ids, image_.width, image_.height);
    for (int x = 0; x < image_.width; ++x) out[x] = Sample(samples, bytesPerSample_, x);
  }

 private:
  IdImage& image_;
  int bytesPerSample_ = 1;
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

// Memory the rows are read into; it lives in the caller's frame so that
// nothing between setjmp and a longjmp owns memory.
struct RowBuffers {
  std::vector<uint8_t> row;
  std::vector<uint8_t> passes[7];  // an interlaced image's reduced images
};

// Adam7 stores seven reduced images one after the other. Each is kept as
// its rows arrive (so a file that ends early has claimed only what it
// held); once all are read, the frame's rows are put together from them.
void ReadInterlacedRows(png_structp png, const PngSampleLayout& layout, RowBuffers& buffers,
                        PngRowSink& sink) {
  const std::size_t pixelBytes = layout.PixelBytes();
  for (int pass = 0; pass < 7; ++pass) {
    const int columns = int(PNG_PASS_COLS(layout.width, pass));
    const int rows = int(PNG_PASS_ROWS(layout.height, pass));
    if (columns == 0 || rows == 0) continue;  // libpng skips empty passes
    // libpng fills a whole frame row's bytes even for a reduced row.
    const int rowBytes = int(columns * pixelBytes);
    for (int r = 0; r < rows; ++r) {
      png_read_row(png, buffers.row.data(), nullptr);
      std::memcpy(AppendRow(buffers.passes[pass], rowBytes, rows), buffers.row.data(), rowBytes);
    }
  }
  uint8_t* row = buffers.row.data();
  for (int y = 0; y < layout.height; ++y) {
    for (int pass = 0; pass < 7; ++pass) {
      const png_uint_32 columns = PNG_PASS_COLS(layout.width, pass);
      if (columns == 0 || !PNG_ROW_IN_INTERLACE_PASS(y, pass)) continue;
      const uint8_t* stored =
          buffers.passes[pass].data() +
          ((y - PNG_PASS_START_ROW(pass)) >> PNG_PASS_ROW_SHIFT(pass)) * columns * pixelBytes;
      for (png_uint_32 i = 0; i < columns; ++i) {
        const png_uint_32 x = PNG_PASS_START_COL(pass) + (i << PNG_PASS_COL_SHIFT(pass));
        std::memcpy(row + x * pixelBytes, stored + i * pixelBytes, pixelBytes);
      }
    }
    sink.Row(row);
  }
}

// Reads every row into `sink`. Nothing here owns memory: libpng's errors
// jump out of it.
void ReadRows(png_structp png, png_infop info, const PngSampleLayout& layout, RowBuffers& buffers,
              PngRowSink& sink) {
  sink.Start(layout);
  if (png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7) {
    ReadInterlacedRows(png, layout, buffers, sink);
  } else {
    for (int y = 0; y < layout.height; ++y) {
      png_read_row(png, buffers.row.data(), nullptr);
      sink.Row(buffers.row.data());
    }
  }
  png_read_end(png, nullptr);
}

std::string DecodePng(PngIo& io, uint64_t fileSize, PngUse use, RowBuffers& buffers,
                      PngRowSink& sink) {
  PngReader reader(io);
  png_structp png = reader.png;
  png_infop info = reader.info;
  if (info == nullptr) return "out of memory";
  if (setjmp(png_jmpbuf(png))) return ReadProblem(io);
  // Our own size limit applies, with its own message, before any pixels.
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width > png_uint_32(kMaxImageSide) || height > png_uint_32(kMaxImageSide))
    return std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than 65535 in width or height";
  // A few hundred bytes of header can promise 65535 x 65535 pixels. Rows
  // that even the densest compressed data could not fill are refused before
  // any are read.
  const uint64_t promisedBytes = (uint64_t(png_get_rowbytes(png, info)) + 1) * height;
  if (promisedBytes / kMaxDeflateRatio > fileSize)
    return "not a readable PNG file (" + std::to_string(width) + " x " + std::to_string(height) +
           " pixels cannot fit in its " + std::to_string(fileSize) + " bytes)";
  if (const char* problem = ChooseTransforms(png, info, use)) return problem;
  png_read_update_info(png, info);
  PngSampleLayout layout;
  layout.width = int(width);
  layout.height = int(height);
  layout.channels = png_get_channels(png, info);
  layout.bytesPerSample = png_get_bit_depth(png, info) == 16 ? 2 : 1;
  buffers.row.resize(layout.RowBytes());
  ReadRows(png, info, layout, buffers, sink);
  return "";
}

// The plain decoder first, where `decoder` allows; libpng reads whatever it
// declines, from the start.
std::string DecodeWith(PngDecoder decoder, PngIo& io, uint64_t fileSize, PngUse use,
                       PngRowSink& sink) {
  if (decoder != PngDecoder::kLibpng) {
    if (DecodePlainPng(io.file, fileSize, use, sink)) return "";
    if (decoder == PngDecoder::kPlainOnly) return "not a plain PNG file, or a damaged one";
    std::rewind(io.file);
  }
  RowBuffers buffers;
  return DecodePng(io, fileSize, use, buffers, sink);
}

std::string DecodePngFile(const std::string& path, PngUse use, PngDecoder decoder,
                          PngRowSink& sink) {
  PngIo io;
  io.file = std::fopen(path.c_str(), "rb");
  if (io.file == nullptr) return FileError(path, "cannot open file");
  const long size = std::fseek(io.file, 0, SEEK_END) == 0 ? std::ftell(io.file) : -1;
  std::rewind(io.file);
  std::string problem;
  try {
    problem = size < 0 ? "cannot read file" : DecodeWith(decoder, io, uint64_t(size), use, sink);
  } catch (const std::bad_alloc&) {
    problem = "out of memory";
  }
  std::fclose(io.file);
  return problem.empty() ? "" : path + ": " + problem;
}

}  // namespace

std::string ReadPngColor(const std::string& path, ColorImage& image, PngDecoder decoder) {
  ColorRows rows(image);
  return DecodePngFile(path, PngUse::kColor, decoder, rows);
}

std::string ReadPngIds(const std::string& path, IdImage& image, PngDecoder decoder) {
  IdRows rows(image);
  return DecodePngFile(path, PngUse::kIds, decoder, rows);
}

std::string ReadPngPalette(const std::string& path, PngPaletteInfo& info) {
  PngIo io;
  io.file = std::fopen(path.c_str(), "rb");
  if (io.file == nullptr) return FileError(path, "cannot open file");
  std::string problem;
  {
    PngReader reader(io);
    png_structp png = reader.png;
    png_infop pngInfo = reader.info;
    if (pngInfo == nullptr) {
      problem = "out of memory";
    } else if (setjmp(png_jmpbuf(png))) {
      problem = ReadProblem(io);
    } else {
      png_read_info(png, pngInfo);
      info.width = int(png_get_image_width(png, pngInfo));
      info.height = int(png_get_image_height(png, pngInfo));
      info.indexed = png_get_color_type(png, pngInfo) == PNG_COLOR_TYPE_PALETTE;
      png_colorp entries = nullptr;
      int count = 0;
      if (info.indexed) png_get_PLTE(png, pngInfo, &entries, &count);
      info.entries.clear();
      for (int i = 0; i < count; ++i)
        info.entries.insert(info.entries.end(),
                            {entries[i].red, entries[i].green, entries[i].blue});
    }
  }
  std::fclose(io.file);
  return problem.empty() ? "" : path + ": " + problem;
}

}  // namespace selvo
