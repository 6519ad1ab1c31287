// The one PCX decoder of the tests and fuzz targets. It reads back a file
// exactly as the writer lays it out, strictly: any byte out of place, a run
// that crosses the end of its scanline, or a missing trailer makes it fail.
// Header-only and free of test frameworks, so that native tests, fuzz
// targets and the Windows tests under Wine all use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pcx/pcx_writer.h"

namespace selvo::test {

struct DecodedPcx {
  bool ok = false;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;  // W x H, row by row
  std::vector<uint8_t> palette;  // the 768 bytes after the 0x0C marker
};

inline DecodedPcx DecodePcx(const std::vector<uint8_t>& file) {
  DecodedPcx out;
  if (file.size() < kPcxHeaderSize + kPcxTrailerSize) return out;
  const uint8_t* h = file.data();
  auto u16 = [h](std::size_t at) { return unsigned(h[at] | h[at + 1] << 8); };
  uint8_t expected[kPcxHeaderSize] = {0x0A, 5, 1, 8};
  const unsigned width = u16(8) + 1, height = u16(10) + 1;
  std::memcpy(expected + 8, h + 8, 4);
  expected[65] = 1;
  expected[66] = uint8_t(width);  // bytes per line: W, unpadded
  expected[67] = uint8_t(width >> 8);
  if (std::memcmp(h, expected, kPcxHeaderSize) != 0) return out;

  const std::size_t dataEnd = file.size() - kPcxTrailerSize;
  std::size_t at = kPcxHeaderSize;
  for (unsigned y = 0; y < height; ++y) {
    unsigned x = 0;
    while (x < width) {  // a run never crosses the end of its scanline
      if (at >= dataEnd) return out;
      unsigned count = 1;
      uint8_t value = file[at++];
      if (value >= 0xC0) {
        count = value & 0x3F;
        if (count == 0 || at >= dataEnd) return out;
        value = file[at++];
      }
      if (x + count > width) return out;
      out.indices.insert(out.indices.end(), count, value);
      x += count;
    }
  }
  if (at != dataEnd || file[dataEnd] != kPcxPaletteMarker) return out;
  out.palette.assign(file.begin() + dataEnd + 1, file.end());
  out.width = int(width);
  out.height = int(height);
  out.ok = true;
  return out;
}

}  // namespace selvo::test
