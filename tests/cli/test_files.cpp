#include "tests/cli/test_files.h"

#include <png.h>

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>


namespace selvo::test {

void WritePng(const std::string& path, int width, int height, int colorType, int bitDepth,
              const std::vector<uint16_t>& samples, const std::vector<uint8_t>& palette,
              bool interlaced) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot create " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, bitDepth, colorType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) {
    std::vector<png_color> entries;
    for (std::size_t i = 0; i + 2 < palette.size(); i += 3)
      entries.push_back(png_color{palette[i], palette[i + 1], palette[i + 2]});
    png_set_PLTE(png, info, entries.data(), int(entries.size()));
  }
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
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

void WriteExr(const std::string& path, int width, int height,
              const std::vector<ExrChannel>& channels, int originX, int originY) {
  Imath::Box2i window(Imath::V2i(originX, originY),
                      Imath::V2i(originX + width - 1, originY + height - 1));
  Imf::Header header(window, window);
  Imf::FrameBuffer buffer;
  // The library writes each channel from a slice of its own pixel type.
  std::vector<std::vector<Imath::half>> halves;
  halves.reserve(channels.size());
  for (const ExrChannel& channel : channels) {
    header.channels().insert(channel.name, Imf::Channel(channel.type));
    if (channel.type == Imf::HALF) {
      halves.emplace_back(channel.values.begin(), channel.values.end());
      buffer.insert(channel.name, Imf::Slice::Make(Imf::HALF, halves.back().data(), window,
                                                   sizeof(Imath::half),
                                                   sizeof(Imath::half) * width));
    } else {
      buffer.insert(channel.name, Imf::Slice::Make(Imf::FLOAT, channel.values.data(), window,
                                                   sizeof(float), sizeof(float) * width));
    }
  }
  Imf::OutputFile file(path.c_str(), header);
  file.setFrameBuffer(buffer);
  file.writePixels(height);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace selvo::test
