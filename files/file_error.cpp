#include "files/file_error.h"

#include <cstring>

namespace selvo {

std::string FileError(const std::string& path, const std::string& what, int error) {
  return path + ": " + what + ": " + std::strerror(error);
}

}  // namespace selvo
