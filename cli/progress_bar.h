// The terminal's stand-in for the host's progress window: the frame driver's
// per-row progress messages move a bar, and its abort queries are answered
// from Ctrl-C.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/frame_driver.h"

namespace selvo {

// "[##########----------]  50%  3/24 frames": pure, so it is testable.
// `fraction` covers the whole run (0..1).
std::string FormatProgressBar(double fraction, long long framesDone, long long frameCount,
                              int barWidth);

// One bar for all workers of a run. Draws only when `enabled` (stderr is a
// terminal); every call is safe from any worker thread.
class ProgressDisplay {
 public:
  ProgressDisplay(std::FILE* out, bool enabled, long long frameCount, int workers);

  // How far the worker's current frame has come (0..1).
  void SetFrameProgress(int worker, double fraction);
  void FinishFrame(int worker);
  // Prints a whole line on `stream` without tearing the bar.
  void PrintLine(std::FILE* stream, const std::string& line);
  // Ends the bar's line so the shell prompt starts on a fresh one.
  void Close();

 private:
  void DrawLocked();
  void EraseLocked();

  std::mutex mutex_;
  std::FILE* out_;
  bool enabled_;
  long long frameCount_;
  long long framesDone_ = 0;
  std::vector<double> inFlight_;
  std::string drawn_;
};

// A worker's progress window for the frame driver.
class TerminalProgress : public RowProgress {
 public:
  TerminalProgress(ProgressDisplay& display, int worker, const std::atomic<bool>& interrupted)
      : display_(display), worker_(worker), interrupted_(interrupted) {}

  void ReportProgress(int row, int lastRow) override;
  // Ctrl-C answers the abort query: the frame stops before the next row.
  void QueryAbort(int32_t* abortFlag) override;

 private:
  ProgressDisplay& display_;
  int worker_;
  const std::atomic<bool>& interrupted_;
};

// Ctrl-C sets the flag instead of killing the process, so frames in flight
// stop between rows and leave no files.
std::atomic<bool>& InterruptFlag();
void CatchInterrupts();

}  // namespace selvo
