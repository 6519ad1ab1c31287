// One scratch file per fuzzing process, rewritten with every input, for the
// readers that take a path.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class ScratchFile {
 public:
  explicit ScratchFile(const char* suffix = "") {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/selvo-fuzz-XXXXXX" + suffix;
    const int fd = mkstemps(&path_[0], int(std::string(suffix).size()));
    if (fd < 0) std::abort();
    close(fd);
  }
  ~ScratchFile() { std::remove(path_.c_str()); }

  const std::string& Write(const uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
      std::abort();
    return path_;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
