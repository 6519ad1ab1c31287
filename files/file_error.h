// The one form of a failed file operation's message: the file, what could
// not be done, and the system's reason, on one line:
// "frame.png: cannot open file: No such file or directory".
#pragma once

#include <cerrno>
#include <string>

namespace selvo {

// `error` is the errno value of the call that failed.
std::string FileError(const std::string& path, const std::string& what, int error);

// For a call that has just failed, while errno still holds its reason.
inline std::string FileError(const std::string& path, const std::string& what) {
  return FileError(path, what, errno);
}

}  // namespace selvo
