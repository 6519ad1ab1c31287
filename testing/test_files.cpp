#include "testing/test_files.h"

#include <png.h>

#include <ImfChannelList.h>
#include <ImfDeepFrameBuffer.h>
#include <ImfDeepScanLineOutputPart.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfMultiPartOutputFile.h>
#include <ImfOutputFile.h>
#include <ImfOutputPart.h>
#include <ImfPartType.h>
#include <ImfRgbaFile.h>
#include <ImfTiledOutputFile.h>
#include <ImfTiledOutputPart.h>
#include <half.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <type_traits>

#include "imageio/image.h"

namespace selvo::test {

void WritePng(const std::string& path, int width, int height, int colorType, int bitDepth,
              const std::vector<uint16_t>& samples, const std::vector<uint8_t>& palette,
              bool interlaced, const PngLayout& layout) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot create " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, bitDepth, colorType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) {
    std::vector<png_color> entries;
    for (std::size_t i = 0; i + 2 < palette.size(); i += 3)
      entries.push_back(png_color{palette[i], palette[i + 1], palette[i + 2]});
    png_set_PLTE(png, info, entries.data(), int(entries.size()));
  }
  if (layout.filter != 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, layout.filter);
  if (layout.idatBytes != 0) png_set_compression_buffer_size(png, layout.idatBytes);
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = const_cast<char*>("Comment");
  text.text = const_cast<char*>("written by the tests");
  if (layout.textChunks) png_set_text(png, info, &text, 1);
  png_write_info(png, info);
  if (bitDepth < 8) png_set_packing(png);  // one sample per byte in our rows
  const int passes = png_set_interlace_handling(png);
  const std::size_t perRow = samples.size() / std::size_t(height);
  std::vector<uint8_t> row;
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < height; ++y) {
      row.clear();
      for (std::size_t i = 0; i < perRow; ++i) {
        const uint16_t v = samples[std::size_t(y) * perRow + i];
        if (bitDepth == 16) row.push_back(uint8_t(v >> 8));
        row.push_back(uint8_t(v));
      }
      png_write_row(png, row.data());
    }
  }
  png_infop end = png_create_info_struct(png);
  if (layout.textChunks) png_set_text(png, end, &text, 1);
  png_write_end(png, end);
  png_destroy_info_struct(png, &end);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

namespace {

// The loader limits the sizes OpenEXR accepts to the frame's limit, process
// wide (OpenEXR cannot tell the limits it holds); files that must be refused
// for their size are written without the limits, which are then set again.
class NoSizeLimits {
 public:
  NoSizeLimits() {
    Imf::Header::setMaxImageSize(0, 0);
    Imf::Header::setMaxTileSize(0, 0);
  }
  ~NoSizeLimits() {
    Imf::Header::setMaxImageSize(kMaxImageSide, kMaxImageSide);
    Imf::Header::setMaxTileSize(kMaxImageSide, kMaxImageSide);
  }
};

int Width(const Imath::Box2i& box) { return box.max.x - box.min.x + 1; }
int Height(const Imath::Box2i& box) { return box.max.y - box.min.y + 1; }

// Name and type go with every part of a multi-part file.
Imf::Header PartHeader(const ExrPart& part, bool multiPart) {
  Imf::Header header(part.display, part.data);
  if (part.tile > 0) header.setTileDescription(Imf::TileDescription(part.tile, part.tile));
  if (part.deep) header.compression() = Imf::ZIPS_COMPRESSION;
  if (multiPart) {
    header.setName(part.name);
    header.setType(part.deep       ? Imf::DEEPSCANLINE
                   : part.tile > 0 ? Imf::TILEDIMAGE
                                   : Imf::SCANLINEIMAGE);
  }
  for (const ExrChannel& channel : part.channels)
    header.channels().insert(channel.name, Imf::Channel(channel.type));
  return header;
}

// The channels' values in the pixel type of each channel, as the library
// writes them.
struct StoredValues {
  explicit StoredValues(const std::vector<ExrChannel>& channels) {
    for (const ExrChannel& channel : channels) {
      halves.emplace_back(channel.values.begin(), channel.values.end());
      floats.push_back(channel.values);
    }
  }
  char* Base(std::size_t i, Imf::PixelType type) {
    return type == Imf::HALF ? reinterpret_cast<char*>(halves[i].data())
                             : reinterpret_cast<char*>(floats[i].data());
  }
  std::vector<std::vector<Imath::half>> halves;
  std::vector<std::vector<float>> floats;
};

std::size_t Size(Imf::PixelType type) {
  return type == Imf::HALF ? sizeof(Imath::half) : sizeof(float);
}

Imf::FrameBuffer FlatBuffer(const ExrPart& part, StoredValues& values) {
  Imf::FrameBuffer buffer;
  for (std::size_t i = 0; i < part.channels.size(); ++i) {
    const Imf::PixelType type = part.channels[i].type;
    buffer.insert(part.channels[i].name,
                  Imf::Slice::Make(type, values.Base(i, type), part.data, Size(type),
                                   Size(type) * Width(part.data)));
  }
  return buffer;
}

// Every pixel of a flat part, as scanlines or tiles.
template <typename Output>
void WriteFlat(Output& output, const ExrPart& part, StoredValues& values) {
  output.setFrameBuffer(FlatBuffer(part, values));
  if constexpr (std::is_same_v<Output, Imf::TiledOutputFile> ||
                std::is_same_v<Output, Imf::TiledOutputPart>)
    output.writeTiles(0, output.numXTiles() - 1, 0, output.numYTiles() - 1);
  else output.writePixels(Height(part.data));
}

// One sample per pixel: a pointer to each pixel's value of each channel.
struct DeepBuffer {
  DeepBuffer(const ExrPart& part, StoredValues& values)
      : counts(std::size_t(Width(part.data)) * Height(part.data), 1) {
    const std::size_t width = Width(part.data);
    buffer.insertSampleCountSlice(Imf::Slice::Make(Imf::UINT, counts.data(), part.data,
                                                   sizeof(unsigned), sizeof(unsigned) * width));
    pointers.resize(part.channels.size());
    for (std::size_t i = 0; i < part.channels.size(); ++i) {
      const Imf::PixelType type = part.channels[i].type;
      for (std::size_t p = 0; p < counts.size(); ++p)
        pointers[i].push_back(values.Base(i, type) + p * Size(type));
      // The slice's base addresses pixel (0, 0), left of and above the data window.
      const intptr_t origin =
          intptr_t(part.data.min.x) + intptr_t(part.data.min.y) * intptr_t(width);
      char* base = reinterpret_cast<char*>(reinterpret_cast<intptr_t>(pointers[i].data()) -
                                           origin * intptr_t(sizeof(char*)));
      buffer.insert(part.channels[i].name,
                    Imf::DeepSlice(type, base, sizeof(char*), sizeof(char*) * width, Size(type)));
    }
  }
  std::vector<unsigned> counts;
  std::vector<std::vector<char*>> pointers;
  Imf::DeepFrameBuffer buffer;
};

}  // namespace

void WriteExr(const std::string& path, int width, int height,
              const std::vector<ExrChannel>& channels, int originX, int originY) {
  const Imath::Box2i window(Imath::V2i(originX, originY),
                            Imath::V2i(originX + width - 1, originY + height - 1));
  WriteExrParts(path, {ExrPart{"", window, window, channels}});
}

void WriteExrParts(const std::string& path, const std::vector<ExrPart>& parts) {
  NoSizeLimits noLimits;
  std::vector<StoredValues> values;
  for (const ExrPart& part : parts) values.emplace_back(part.channels);
  if (parts.size() == 1 && !parts[0].deep) {
    const Imf::Header header = PartHeader(parts[0], /*multiPart=*/false);
    if (parts[0].tile > 0) {
      Imf::TiledOutputFile file(path.c_str(), header);
      WriteFlat(file, parts[0], values[0]);
    } else {
      Imf::OutputFile file(path.c_str(), header);
      WriteFlat(file, parts[0], values[0]);
    }
    return;
  }
  std::vector<Imf::Header> headers;
  for (const ExrPart& part : parts) headers.push_back(PartHeader(part, /*multiPart=*/true));
  Imf::MultiPartOutputFile file(path.c_str(), headers.data(), int(headers.size()));
  for (std::size_t p = 0; p < parts.size(); ++p) {
    if (parts[p].deep) {
      Imf::DeepScanLineOutputPart part(file, int(p));
      DeepBuffer deep(parts[p], values[p]);
      part.setFrameBuffer(deep.buffer);
      part.writePixels(Height(parts[p].data));
    } else if (parts[p].tile > 0) {
      Imf::TiledOutputPart part(file, int(p));
      WriteFlat(part, parts[p], values[p]);
    } else {
      Imf::OutputPart part(file, int(p));
      WriteFlat(part, parts[p], values[p]);
    }
  }
}

void WriteLumaChromaExr(const std::string& path, int width, int height,
                        const std::vector<float>& rgba) {
  std::vector<Imf::Rgba> pixels;
  for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
    pixels.emplace_back(rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]);
  Imf::RgbaOutputFile file(path.c_str(), width, height, Imf::WRITE_YCA);
  file.setYCRounding(10, 10);  // every bit of a half float, not the 7 and 5 it keeps by default
  file.setFrameBuffer(pixels.data(), 1, std::size_t(width));
  file.writePixels(height);
}

}  // namespace selvo::test
