#include "tests/scratch_dir.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>

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

}  // namespace selvo::test
