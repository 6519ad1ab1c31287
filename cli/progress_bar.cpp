#include "cli/progress_bar.h"

#include <csignal>
#include <cstdio>

namespace selvo {

std::string FormatProgressBar(double fraction, long long framesDone, long long frameCount,
                              int barWidth) {
  if (!(fraction > 0)) fraction = 0;
  if (fraction > 1) fraction = 1;
  const int filled = int(fraction * barWidth);
  std::string bar = "[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "]";
  char tail[64];
  std::snprintf(tail, sizeof tail, " %3d%%  %lld/%lld frame%s", int(fraction * 100), framesDone,
                frameCount, frameCount == 1 ? "" : "s");
  return bar + tail;
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

void ProgressDisplay::PrintLine(std::FILE* stream, const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  EraseLocked();
  std::fprintf(stream, "%s\n", line.c_str());
  std::fflush(stream);
  DrawLocked();
}

void ProgressDisplay::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  EraseLocked();
  enabled_ = false;
}

// Redraws only when the text changes: a row is far quicker than a terminal.
void ProgressDisplay::DrawLocked() {
  if (!enabled_ || frameCount_ <= 0) return;
  double done = double(framesDone_);
  for (double f : inFlight_) done += f;
  const std::string text = FormatProgressBar(done / double(frameCount_), framesDone_, frameCount_, 30);
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

void TerminalProgress::QueryAbort(int32_t* abortFlag) {
  if (interrupted_.load()) *abortFlag = 1;
}

std::atomic<bool>& InterruptFlag() {
  static std::atomic<bool> interrupted{false};
  return interrupted;
}

namespace {
// A second Ctrl-C is left to the system, for a user who will not wait.
void OnInterrupt(int) {
  InterruptFlag().store(true);
  std::signal(SIGINT, SIG_DFL);
}
}  // namespace

void CatchInterrupts() {
  InterruptFlag();  // constructed before any signal can arrive
  std::signal(SIGINT, OnInterrupt);
}

}  // namespace selvo
