// Writes the benchmark frame as image files, for timing whole programs on it:
//   write_test_frame COLOR.png IDS.png [SEED [WIDTH HEIGHT]]
// COLOR.png: 16-bit RGBA; IDS.png: 8-bit grey object IDs (0 floor, 1..12).
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/test_frame.h"

namespace {

// Writes rows of `bytesPerRow` bytes; false when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, int bitDepth, int colorType,
              const std::vector<uint8_t>& data, std::size_t bytesPerRow) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_compression_level(png, 1);  // the frame is written once per run; keep it quick
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
      png_write_row(png, const_cast<png_bytep>(data.data() + std::size_t(y) * bytesPerRow));
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4 && argc != 6) {
    std::fprintf(stderr, "usage: %s COLOR.png IDS.png [SEED [WIDTH HEIGHT]]\n", argv[0]);
    return 2;
  }
  const uint32_t seed = argc >= 4 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : 1;
  const int width = argc == 6 ? std::atoi(argv[4]) : 1920;
  const int height = argc == 6 ? std::atoi(argv[5]) : 1080;
  if (width < 1 || height < 1 || width > 65535 || height > 65535) {
    std::fprintf(stderr, "%s: size must be 1..65535 each\n", argv[0]);
    return 2;
  }
  const selvo::test::TestFrame frame = selvo::test::MakeTestFrame(width, height, seed);

  std::vector<uint8_t> color;  // PNG stores 16-bit samples big-endian
  color.reserve(frame.pixels.size() * 8);
  for (const selvo::Pixel64& p : frame.pixels)
    for (uint16_t v : {p.r, p.g, p.b, p.a}) {
      color.push_back(uint8_t(v >> 8));
      color.push_back(uint8_t(v & 0xFF));
    }
  if (!WritePng(argv[1], width, height, 16, PNG_COLOR_TYPE_RGBA, color, std::size_t(width) * 8) ||
      !WritePng(argv[2], width, height, 8, PNG_COLOR_TYPE_GRAY, frame.ids, std::size_t(width))) {
    std::fprintf(stderr, "%s: cannot write %s or %s\n", argv[0], argv[1], argv[2]);
    return 1;
  }
  return 0;
}
