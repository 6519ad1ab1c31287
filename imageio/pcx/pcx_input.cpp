#include <cstdio>
#include <iterator>
#include <memory>

#include "files/file_error.h"
#include "imageio/pcx/pcx_io.h"
#include "pcx/pcx_writer.h"

namespace selvo {
namespace {

unsigned U16(const uint8_t* p) { return unsigned(p[0] | p[1] << 8); }

// "" when the header describes an image this reader decodes.
std::string CheckHeader(const uint8_t* header) {
  if (header[0] != 0x0A) return "not a PCX file";
  if (header[1] != 5 || header[2] != 1 || header[3] != 8 || header[65] != 1)
    return "not an 8-bit, one-plane, run-length-encoded PCX file (version 5)";
  const unsigned xMin = U16(header + 4), yMin = U16(header + 6);
  const unsigned xMax = U16(header + 8), yMax = U16(header + 10);
  if (xMax < xMin || yMax < yMin) return "the header's window is empty";
  if (U16(header + 66) < xMax - xMin + 1) return "fewer bytes per line than pixels";
  return "";
}

// Decodes the runs of `height` scanlines of `bytesPerLine` bytes, keeping
// the first `width` of each; false when the data ends first.
bool DecodeRuns(const std::vector<uint8_t>& data, int width, int height, unsigned bytesPerLine,
                std::vector<uint8_t>& indices) {
  indices.assign(std::size_t(width) * height, 0);
  const std::size_t total = std::size_t(bytesPerLine) * height;
  std::size_t at = 0, out = 0;
  while (out < total) {
    if (at >= data.size()) return false;
    uint8_t value = data[at++];
    std::size_t count = 1;
    if (value >= 0xC0) {
      count = value & 0x3F;
      if (at >= data.size()) return false;
      value = data[at++];
    }
    for (; count > 0 && out < total; --count, ++out) {
      const std::size_t x = out % bytesPerLine;
      if (x < std::size_t(width)) indices[out / bytesPerLine * width + x] = value;
    }
  }
  return true;
}

}  // namespace

std::string ReadPcxImage(const std::string& path, PcxImage& image) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return FileError(path, "cannot open file");
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get()))
    bytes.insert(bytes.end(), chunk, chunk + got);
  if (std::ferror(file.get())) return FileError(path, "cannot read file");
  if (bytes.size() < kPcxHeaderSize + kPcxTrailerSize)
    return path + ": too short for a 256-colour PCX file (" + std::to_string(bytes.size()) +
           " bytes)";
  std::string problem = CheckHeader(bytes.data());
  const std::size_t trailer = bytes.size() - kPcxTrailerSize;
  if (problem.empty() && bytes[trailer] != kPcxPaletteMarker)
    problem = "no 256-colour palette at the end (0x0C 769 bytes before it)";
  if (!problem.empty()) return path + ": " + problem;

  const uint8_t* header = bytes.data();
  const int width = int(U16(header + 8) - U16(header + 4) + 1);
  const int height = int(U16(header + 10) - U16(header + 6) + 1);
  const std::vector<uint8_t> data(bytes.begin() + kPcxHeaderSize, bytes.begin() + trailer);
  PcxImage decoded;
  if (!DecodeRuns(data, width, height, U16(header + 66), decoded.indices))
    return path + ": the image data ends before its last scanline";
  decoded.width = width;
  decoded.height = height;
  std::copy(bytes.begin() + trailer + 1, bytes.end(), std::begin(decoded.palette));
  image = std::move(decoded);
  return "";
}

}  // namespace selvo
