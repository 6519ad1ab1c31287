// Reading 8-bit PCX frames back: the index images `selvo render` writes, and
// any other 256-colour PCX file, for `selvo sheet`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace selvo {

struct PcxImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;  // W x H, row by row from the top
  uint8_t palette[768] = {};     // the 256-colour trailer
};

// A version-5, run-length-encoded, 8-bit, one-plane PCX file with its
// 256-colour trailer. Scanlines may be padded (bytes per line above W) and
// runs may cross them, as other programs write them. "" or one line naming
// the file and the problem.
std::string ReadPcxImage(const std::string& path, PcxImage& image);

}  // namespace selvo
