#include "testing/scratch_dir.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace selvo::test {

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (;;) {
    root_ = base / ("selvo_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    if (std::filesystem::create_directory(root_)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::vector<std::string> ScratchDir::Files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(root_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  // An empty file has no bytes to hand fwrite, which takes no null pointer.
  if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) ||
      std::fclose(file) != 0)
    std::abort();
}

}  // namespace selvo::test
