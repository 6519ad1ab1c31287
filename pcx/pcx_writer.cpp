#include "pcx/pcx_writer.h"

#include "files/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace selvo {
namespace {

void PutU16(uint8_t* p, unsigned v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

// The 128-byte header; every byte not set here is 0.
void BuildHeader(uint8_t header[kPcxHeaderSize], int width, int height) {
  std::memset(header, 0, kPcxHeaderSize);
  header[0] = 0x0A;                 // manufacturer: ZSoft
  header[1] = 5;                    // version: 256-colour palette at the end
  header[2] = 1;                    // encoding: run-length
  header[3] = 8;                    // bits per pixel
  PutU16(header + 8, width - 1);    // Xmax (Xmin, Ymin stay 0)
  PutU16(header + 10, height - 1);  // Ymax
  header[65] = 1;                   // colour planes
  PutU16(header + 66, width);       // bytes per line: W itself, never padded
}

// Runs never cross a scanline and hold at most 63 bytes; a single byte with
// both top bits set needs a run of one so it is not read as a count.
bool EncodeScanline(ByteSink& sink, const uint8_t* line, int width) {
  uint8_t out[2 * 65535];
  std::size_t used = 0;
  for (int p = 0; p < width;) {
    const uint8_t c = line[p];
    int run = 1;
    while (run < 63 && p + run < width && line[p + run] == c) ++run;
    if (run > 1 || c >= 0xC0) out[used++] = uint8_t(0xC0 | run);
    out[used++] = c;
    p += run;
  }
  return sink.Write(out, used);
}

// Keeps the system's reason for the first write that fails.
class FileSink : public ByteSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool Write(const uint8_t* data, std::size_t size) override {
    if (std::fwrite(data, 1, size, file_) == size) return true;
    error_ = errno;
    return false;
  }
  int error() const { return error_; }

 private:
  std::FILE* file_;
  int error_ = 0;
};

class MemorySink : public ByteSink {
 public:
  explicit MemorySink(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool Write(const uint8_t* data, std::size_t size) override {
    bytes_.insert(bytes_.end(), data, data + size);
    return true;
  }

 private:
  std::vector<uint8_t>& bytes_;
};

bool FitsPcx(int width, int height) {
  return width >= 1 && width <= 65535 && height >= 1 && height <= 65535;
}

std::string SizeError(const std::string& path, int width, int height) {
  return path + ": " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels cannot be a PCX file";
}

}  // namespace

bool EncodePcx(ByteSink& sink, const uint8_t* indices, int width, int height,
               const uint8_t* palette) {
  if (!FitsPcx(width, height)) return false;
  uint8_t header[kPcxHeaderSize];
  BuildHeader(header, width, height);
  if (!sink.Write(header, kPcxHeaderSize)) return false;
  for (int y = 0; y < height; ++y) {
    if (!EncodeScanline(sink, indices + std::size_t(y) * width, width)) return false;
  }
  uint8_t trailer[kPcxTrailerSize];
  trailer[0] = kPcxPaletteMarker;
  std::memcpy(trailer + 1, palette, kPcxTrailerSize - 1);
  return sink.Write(trailer, kPcxTrailerSize);
}

namespace {

// "" or the problem, without the file name.
std::string EncodeToFile(std::FILE* file, const uint8_t* indices, int width, int height,
                         const uint8_t* palette) {
  FileSink sink(file);
  if (EncodePcx(sink, indices, width, height, palette)) return "";
  return std::string("cannot write file: ") + std::strerror(sink.error());
}

}  // namespace

std::vector<uint8_t> EncodePcxToMemory(const uint8_t* indices, int width, int height,
                                       const uint8_t* palette) {
  std::vector<uint8_t> bytes;
  MemorySink sink(bytes);
  if (!EncodePcx(sink, indices, width, height, palette)) bytes.clear();
  return bytes;
}

std::string WritePcx(const std::string& path, const uint8_t* indices, int width, int height,
                     const uint8_t* palette) {
  if (!FitsPcx(width, height)) return SizeError(path, width, height);
  return WriteFileAtomically(
      path, [&](std::FILE* file) { return EncodeToFile(file, indices, width, height, palette); });
}

std::string WritePcxInPlace(const std::string& path, const uint8_t* indices, int width, int height,
                            const uint8_t* palette) {
  if (!FitsPcx(width, height)) return SizeError(path, width, height);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return path + ": cannot create file: " + std::strerror(errno);
  std::string problem = EncodeToFile(file, indices, width, height, palette);
  if (std::fclose(file) != 0 && problem.empty())
    problem = std::string("cannot write file: ") + std::strerror(errno);
  if (problem.empty()) return "";
  // No truncated frame that looks complete; a device at the path stays.
  std::error_code ignored;
  if (std::filesystem::is_regular_file(path, ignored)) std::remove(path.c_str());
  return path + ": " + problem;
}

}  // namespace selvo
