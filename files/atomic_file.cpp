#include "files/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <process.h>
#define selvo_getpid _getpid
#else
#include <unistd.h>
#define selvo_getpid getpid
#endif

namespace selvo {
namespace {

// ".name.<pid>.<n>.partial" beside the target: hidden, unique per process and
// per call, and never matching a name the renderer itself would write.
std::string TemporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string base = path.substr(baseStart, 200);
  char tag[48];
  std::snprintf(tag, sizeof tag, ".%ld.%u.partial", long(selvo_getpid()), counter++);
  return path.substr(0, baseStart) + "." + base + tag;
}

std::string SystemError(const std::string& path, const char* what, int error) {
  return path + ": " + what + ": " + std::strerror(error);
}

// A device or a pipe (/dev/stdout, /dev/null, a FIFO) has no file to
// replace: renaming over it would swap the device itself for a regular file,
// and for root that includes /dev/full. Those are written in place.
bool IsDeviceOrPipe(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;
  return !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

// Runs `write` on the open file and closes it; "" or the error naming `path`.
std::string WriteAndClose(std::FILE* file, const std::string& path,
                          const std::function<std::string(std::FILE*)>& write) {
  std::string error = write(file);
  if (!error.empty()) error = path + ": " + error;
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(file) == 0;
  if (error.empty() && !(flushed && closed)) error = SystemError(path, "cannot write file", flushError);
  return error;
}

}  // namespace

std::string WriteFileAtomically(const std::string& path,
                                const std::function<std::string(std::FILE*)>& write) {
  if (IsDeviceOrPipe(path)) {
    std::FILE* device = std::fopen(path.c_str(), "wb");
    if (device == nullptr) return SystemError(path, "cannot open file", errno);
    return WriteAndClose(device, path, write);
  }
  const std::string partial = TemporaryNameBeside(path);
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) return SystemError(path, "cannot create file", errno);

  std::string error = WriteAndClose(file, path, write);
  if (error.empty()) {
#ifdef _WIN32
    std::remove(path.c_str());  // the C library's rename does not replace there
#endif
    if (std::rename(partial.c_str(), path.c_str()) != 0)
      error = SystemError(path, "cannot replace file", errno);
  }
  if (!error.empty()) std::remove(partial.c_str());
  return error;
}

}  // namespace selvo
