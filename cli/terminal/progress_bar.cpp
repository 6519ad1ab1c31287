#include "cli/terminal/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/terminal/standard_streams.h"

#ifndef _WIN32
#include <sys/ioctl.h>
#endif

namespace selvo {

std::string FormatProgressBar(double fraction, long long framesDone, long long frameCount,
                              int columns) {
  if (!(fraction > 0)) fraction = 0;
  if (fraction > 1) fraction = 1;
  char tail[64];
  std::snprintf(tail, sizeof tail, "%3d%%  %lld/%lld frame%s", int(fraction * 100), framesDone,
                frameCount, frameCount == 1 ? "" : "s");
  const int room = std::max(columns - 1, 0);  // the last column would wrap the line
  const int barWidth = std::min(kLongestBar, room - int(std::strlen(tail)) - 3);
  if (barWidth < kShortestBar) return std::string(tail).substr(0, std::size_t(room));
  const int filled = int(fraction * barWidth);
  return "[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "] " + tail;
}

ProgressDisplay::ProgressDisplay(std::FILE* out, bool enabled, long long frameCount, int workers)
    : out_(out), enabled_(enabled), frameCount_(frameCount), inFlight_(workers, 0.0) {}

void ProgressDisplay::SetFrameProgress(int worker, double fraction) {
  std::lock_guard<std::mutex> lock(mutex_);
  inFlight_[worker] = fraction;
  DrawLocked();
}

void ProgressDisplay::FinishFrame(int worker) {
  std::lock_guard<std::mutex> lock(mutex_);
  inFlight_[worker] = 0;
  ++framesDone_;
  DrawLocked();
}

bool ProgressDisplay::PrintLine(std::FILE* stream, const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  EraseLocked();
  const bool written = WriteLine(stream, line);
  DrawLocked();
  return written;
}

void ProgressDisplay::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  EraseLocked();
  enabled_ = false;
}

// The terminal's width now (it may have been resized), or 80 when unknown.
int TerminalColumns(std::FILE* terminal) {
#ifndef _WIN32
  winsize size{};
  if (ioctl(fileno(terminal), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#else
  (void)terminal;
#endif
  return 80;
}

// Redraws only when the text changes: a row is far quicker than a terminal.
void ProgressDisplay::DrawLocked() {
  if (!enabled_ || frameCount_ <= 0) return;
  double done = double(framesDone_);
  for (double f : inFlight_) done += f;
  const std::string text = FormatProgressBar(done / double(frameCount_), framesDone_, frameCount_,
                                             TerminalColumns(out_));
  if (text == drawn_) return;
  std::fprintf(out_, "\r%s", text.c_str());
  std::fflush(out_);
  drawn_ = text;
}

void ProgressDisplay::EraseLocked() {
  if (!enabled_ || drawn_.empty()) return;
  std::fprintf(out_, "\r%s\r", std::string(drawn_.size(), ' ').c_str());
  std::fflush(out_);
  drawn_.clear();
}

void TerminalProgress::ReportProgress(int row, int lastRow) {
  display_.SetFrameProgress(worker_, double(row) / double(lastRow + 1));
}

bool TerminalProgress::StopRequested() { return stopSignal_.load() != 0; }

}  // namespace selvo
