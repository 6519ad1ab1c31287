// Writes a PCX whose content stresses the encoder (odd width, long runs,
// escaped bytes, runs that meet at scanline ends) next to a raw copy of its
// indices and palette, so that an independent reader can be checked against
// what the encoder was given.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "pcx/pcx_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: write_sample_pcx OUT.pcx OUT.raw\n");
    return 2;
  }
  const int width = 77, height = 13;
  std::vector<uint8_t> indices(width * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t v;
      if (y % 3 == 0) v = 0xC0 + (x / 20) % 64;      // long runs of escaped bytes
      else if (y % 3 == 1) v = uint8_t(x * 37 + y);  // no runs at all
      else v = uint8_t(y * 16 + (x > 70 ? 1 : 0));   // run to the line end
      indices[y * width + x] = v;
    }
  }
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 768; ++i) palette[i] = uint8_t((i * 97 + 13) % 256);

  if (!selvo::WritePcx(argv[1], indices.data(), width, height, palette.data()).empty()) {
    std::fprintf(stderr, "%s: could not write\n", argv[1]);
    return 1;
  }
  std::ofstream raw(argv[2], std::ios::binary);
  // Width and height as 32-bit little-endian numbers, as the Pillow decoder
  // writes them.
  const char size[8] = {char(width), char(width >> 8), 0, 0, char(height), char(height >> 8), 0, 0};
  raw.write(size, 8);
  raw.write(reinterpret_cast<const char*>(indices.data()), indices.size());
  raw.write(reinterpret_cast<const char*>(palette.data()), palette.size());
  return raw ? 0 : 1;
}
