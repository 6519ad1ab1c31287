#include "cli/terminal/standard_streams.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "imageio/text.h"

namespace selvo {
namespace {

// The reason the first failed write to stdout gave; by the time the command
// ends, stdout's error flag is all that is left of it.
std::atomic<int> g_stdoutError{0};

}  // namespace

bool WriteText(std::FILE* stream, const std::string& text) {
  if (std::fputs(text.c_str(), stream) >= 0 && std::fflush(stream) == 0) return true;
  int none = 0;
  if (stream == stdout) g_stdoutError.compare_exchange_strong(none, errno);
  return false;
}

bool WriteLine(std::FILE* stream, const std::string& line) {
  return WriteText(stream, line + "\n");
}

void PrintError(const std::string& message) { WriteLine(stderr, "selvo: " + Printable(message)); }

int FinishStandardStreams(int status) {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    int reason = g_stdoutError.load();
    if (reason == 0) reason = errno != 0 ? errno : EIO;
    std::fprintf(stderr, "selvo: cannot write to standard output: %s\n", std::strerror(reason));
    if (status == 0) status = 1;
  }
  if ((std::fflush(stderr) != 0 || std::ferror(stderr)) && status == 0) status = 1;
  return status;
}

}  // namespace selvo
