#include "files/atomic_file.h"

#include <sys/stat.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define selvo_unlink std::remove
#else
#include <fcntl.h>
#include <unistd.h>
#define selvo_unlink unlink
#endif

#include "files/file_error.h"

namespace selvo {
namespace {

// The temporary files being written, where a signal handler can find them.
// Slots are claimed and released with lock-free atomics alone, because the
// handler may run at any moment, on any thread. A slot being removed is
// never reused: the process is ending.
enum SlotState : int { kFree, kFilling, kHeld, kRemoving };
struct TemporarySlot {
  std::atomic<int> state{kFree};
  char path[4096];
};
// One slot per writing thread is enough; a write that finds none still
// works, its temporary file just cannot be removed by a second signal.
TemporarySlot g_temporaries[256];

// The slot now holding `path`, or -1.
int HoldTemporary(const std::string& path) {
  if (path.size() >= sizeof g_temporaries[0].path) return -1;
  for (int i = 0; i < int(std::size(g_temporaries)); ++i) {
    TemporarySlot& slot = g_temporaries[i];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.state.store(kHeld);
    return i;
  }
  return -1;
}

void ReleaseTemporary(int index) {
  if (index < 0) return;
  int expected = kHeld;
  g_temporaries[index].state.compare_exchange_strong(expected, kFree);
}

// ".name.<random>.partial" beside the target: hidden, and never matching a
// name the renderer itself would write. The random part, not the process
// ID, keeps two writers apart: render-farm workers in separate containers
// share process IDs while writing to one shared folder.
std::string TemporaryNameBeside(const std::string& path, uint64_t tag) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string base = path.substr(baseStart, 200);
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%016llx.partial", static_cast<unsigned long long>(tag));
  return path.substr(0, baseStart) + "." + base + suffix;
}

uint64_t RandomTag() {
  static std::mutex mutex;
  static std::random_device device;
  static std::mt19937_64 generator(uint64_t(device()) << 32 ^ device());
  std::lock_guard<std::mutex> lock(mutex);
  return generator();
}

// Creates the file only if nothing is at `name`, so a write never goes into
// a file someone else is writing.
std::FILE* CreateExclusively(const std::string& name) {
#ifdef _WIN32
  const int fd =
      _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
  if (fd >= 0 && file == nullptr) _close(fd);
#else
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (fd >= 0 && file == nullptr) close(fd);
#endif
  return file;
}

// The file a write to `path` lands in: a symlink is followed to its target
// (through any chain of links, dangling ones included), so the link stays a
// link and the target gets the new bytes.
std::string FollowLinks(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path target = path;
  for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(target, error)); ++hop) {
    const fs::path next = fs::read_symlink(target, error);
    if (error) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target.string();
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
  // A write that failed earlier leaves the stream's error flag set even when
  // the final flush has nothing left to write.
  errno = EIO;
  const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
  const int flushError = errno;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  if (error.empty() && !flushed) error = FileError(path, "cannot write file", flushError);
  if (error.empty() && !closed) error = FileError(path, "cannot write file", closeError);
  return error;
}

}  // namespace

std::string WriteFileAtomically(const std::string& path,
                                const std::function<std::string(std::FILE*)>& write) {
  if (IsDeviceOrPipe(path)) {
    std::FILE* device = std::fopen(path.c_str(), "wb");
    if (device == nullptr) return FileError(path, "cannot open file", errno);
    return WriteAndClose(device, path, write);
  }
  const std::string target = FollowLinks(path);
  std::string partial;
  std::FILE* file = nullptr;
  int slot = -1;
  for (int attempt = 0; file == nullptr && attempt < 100; ++attempt) {
    partial = TemporaryNameBeside(target, RandomTag());
    // Held before it exists, so that no moment passes in which the file is
    // there but a second signal would not find it.
    slot = HoldTemporary(partial);
    file = CreateExclusively(partial);
    if (file != nullptr) break;
    const int reason = errno;
    ReleaseTemporary(slot);
    if (reason != EEXIST) return FileError(path, "cannot create file", reason);
  }
  if (file == nullptr) return FileError(path, "cannot create file", EEXIST);

  std::string error = WriteAndClose(file, path, write);
  if (error.empty()) {
#ifdef _WIN32
    std::remove(target.c_str());  // the C library's rename does not replace there
#endif
    if (std::rename(partial.c_str(), target.c_str()) != 0)
      error = FileError(path, "cannot replace file", errno);
  }
  if (!error.empty()) std::remove(partial.c_str());
  ReleaseTemporary(slot);
  return error;
}

void RemoveTemporaryFilesNow() {
  for (TemporarySlot& slot : g_temporaries) {
    int expected = kHeld;
    if (slot.state.compare_exchange_strong(expected, kRemoving)) selvo_unlink(slot.path);
  }
}

}  // namespace selvo
