// A fresh folder per test (or per fuzzing process), removed with everything
// in it when the object goes, and whole files read and written in it.
#pragma once

#include <cstdint>
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

std::vector<uint8_t> ReadBytes(const std::string& path);
// Aborts when the file cannot be written: nothing could be tested with it.
void WriteBytes(const std::string& path, const uint8_t* data, std::size_t size);
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteBytes(path, bytes.data(), bytes.size());
}

}  // namespace selvo::test
