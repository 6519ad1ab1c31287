// Whether two names lead to one file, so that no output of a frame is
// written over one of its inputs or over another of its outputs.
#pragma once

#include <string>

namespace selvo {

// Existing files are compared by device and inode (hard links and symlinks
// count as the same file); names of files yet to be made by the folder they
// resolve to and their last part.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace selvo
