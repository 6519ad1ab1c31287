#include "files/same_file.h"

#include <filesystem>

namespace selvo {

bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  if (a == b) return true;
  std::error_code error;
  const bool aExists = fs::exists(a, error);
  const bool bExists = fs::exists(b, error);
  if (aExists && bExists) return fs::equivalent(a, b, error);
  if (aExists || bExists) return false;
  const fs::path aPath = fs::weakly_canonical(fs::absolute(a, error), error);
  const fs::path bPath = fs::weakly_canonical(fs::absolute(b, error), error);
  return !error && aPath == bPath;
}

}  // namespace selvo
