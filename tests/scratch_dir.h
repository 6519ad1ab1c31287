// A fresh folder per test, removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace selvo::test {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string Path(const std::string& name) const { return (root_ / name).string(); }
  const std::filesystem::path& root() const { return root_; }
  // Every file name in the folder, sorted.
  std::vector<std::string> Files() const;

 private:
  std::filesystem::path root_;
};

}  // namespace selvo::test
