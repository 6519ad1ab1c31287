#include "cli/config/settings_file.h"

#include <cstdio>

#include "files/atomic_file.h"
#include "files/file_error.h"

namespace selvo {
namespace {

// How many bytes follow the current position: found by seeking where the
// file allows it, else (a pipe) by reading them.
uint64_t CountRemainingBytes(std::FILE* file) {
  const long here = std::ftell(file);
  if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= here) return uint64_t(end - here);
  }
  uint64_t count = 0;
  char chunk[65536];
  while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, file)) count += got;
  return count;
}

}  // namespace

std::string LoadSettingsFile(const std::string& path, RendererConfig& config) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return FileError(path, "cannot open settings file");
  // One byte more than a block, to tell a longer file from an exact one.
  uint8_t block[kConfigSize + 1];
  const std::size_t size = std::fread(block, 1, sizeof block, file);
  const uint64_t total = size > kConfigSize ? size + CountRemainingBytes(file) : size;
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) return FileError(path, "cannot read settings file", error);
  if (size != kConfigSize)
    return path + ": not a settings file (" + std::to_string(total) + " bytes instead of " +
           std::to_string(kConfigSize) + ")";
  if (!LoadConfig(config, block)) {
    const uint32_t version = uint32_t(block[0]) | uint32_t(block[1]) << 8 |
                             uint32_t(block[2]) << 16 | uint32_t(block[3]) << 24;
    return path + ": settings version " + std::to_string(version) + " is newer than " +
           std::to_string(kConfigVersion) + ", which this filter reads";
  }
  return "";
}

std::string SaveSettingsFile(const std::string& path, const RendererConfig& config) {
  uint8_t block[kConfigSize];
  SaveConfig(config, block);
  return WriteFileAtomically(path, [&](std::FILE* file) -> std::string {
    if (std::fwrite(block, 1, sizeof block, file) != sizeof block) return "cannot write file";
    return "";
  });
}

}  // namespace selvo
