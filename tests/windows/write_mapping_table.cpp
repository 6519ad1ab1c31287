// Writes the indices the native core picks for every mapping case (see
// mapping_cases.h) to the file named by its argument.
#include <cstdio>
#include <fstream>

#include "core/map_pixel.h"
#include "tests/windows/mapping_cases.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_mapping_table FILE\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary);
  for (int i = 0; i < mapping_cases::kCaseCount; ++i) {
    const mapping_cases::MappingCase c = mapping_cases::MakeCase(i);
    const uint32_t count = uint32_t(c.pixels.size());
    const char countBytes[4] = {char(count), char(count >> 8), char(count >> 16),
                                char(count >> 24)};
    out.write(countBytes, 4);
    for (uint32_t p = 0; p < count; ++p) {
      const selvo::ColorRange& range = selvo::RangeForId(c.config, c.ids[p]);
      const int x = int(p % uint32_t(c.width)), y = int(p / uint32_t(c.width));
      out.put(char(selvo::MapPixel(c.pixels[p], x, y, range, c.config.palette, c.config.method)));
    }
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "write_mapping_table: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
