#include "pcx/pcx_palette.h"

#include <cstdio>
#include <cstring>

namespace selvo {
namespace {

class OpenFile {
 public:
  explicit OpenFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~OpenFile() {
    if (file_) std::fclose(file_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  std::FILE* get() const { return file_; }

  // Reads `size` bytes that end `fromEnd` bytes before the end of the file.
  bool ReadBeforeEnd(long fromEnd, uint8_t* out, std::size_t size) {
    return std::fseek(file_, -fromEnd, SEEK_END) == 0 && std::fread(out, 1, size, file_) == size;
  }

 private:
  std::FILE* file_;
};

}  // namespace

bool ReadPcxPalette(const std::string& path, uint8_t destination[768]) {
  OpenFile file(path);
  if (!file.get()) return false;
  // Read into scratch first: a file shorter than a palette must leave the
  // destination as it was.
  uint8_t palette[768];
  if (!file.ReadBeforeEnd(768, palette, sizeof palette)) return false;
  std::memcpy(destination, palette, sizeof palette);
  return true;
}

bool HasPaletteTrailer(const std::string& path) {
  OpenFile file(path);
  if (!file.get()) return false;
  uint8_t header[4];
  if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return false;
  const bool eightBitVersion5 = header[0] == 0x0A && header[1] == 5 && header[3] == 8;
  uint8_t planes = 0;
  if (std::fseek(file.get(), 65, SEEK_SET) != 0 || std::fread(&planes, 1, 1, file.get()) != 1)
    return false;
  uint8_t marker = 0;
  if (!file.ReadBeforeEnd(769, &marker, 1)) return false;
  // The trailer must follow the header, not overlap it.
  long size = (std::fseek(file.get(), 0, SEEK_END) == 0) ? std::ftell(file.get()) : 0;
  return eightBitVersion5 && planes == 1 && marker == 0x0C && size >= 128 + 769;
}

}  // namespace selvo
