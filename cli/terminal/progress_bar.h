// The terminal's stand-in for the host's progress window: the frame driver's
// per-row progress reports move a bar, and its questions whether to stop are
// answered from the stop signals.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/frame_driver.h"

namespace selvo {

// "[##########----------]  50%  3/24 frames": pure, so it is testable.
// `fraction` covers the whole run (0..1). The line fits a terminal of
// `columns`, its last column left free so that it never wraps: the bar is
// kLongestBar wide at most, and left out when fewer than kShortestBar
// columns remain for it.
constexpr int kLongestBar = 30;
constexpr int kShortestBar = 5;
std::string FormatProgressBar(double fraction, long long framesDone, long long frameCount,
                              int columns);

// The terminal's width in columns, or 80 when it cannot be told.
int TerminalColumns(std::FILE* terminal);

// One bar for all workers of a run. Draws only when `enabled` (stderr is a
// terminal); every call is safe from any worker thread.
class ProgressDisplay {
 public:
  ProgressDisplay(std::FILE* out, bool enabled, long long frameCount, int workers);

  // How far the worker's current frame has come (0..1).
  void SetFrameProgress(int worker, double fraction);
  void FinishFrame(int worker);
  // Prints a whole line on `stream` without tearing the bar; false when the
  // stream could not take it.
  bool PrintLine(std::FILE* stream, const std::string& line);
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
  TerminalProgress(ProgressDisplay& display, int worker, const std::atomic<int>& stopSignal)
      : display_(display), worker_(worker), stopSignal_(stopSignal) {}

  void ReportProgress(int row, int lastRow) override;
  // A stop signal stops the frame before the next row.
  bool StopRequested() override;

 private:
  ProgressDisplay& display_;
  int worker_;
  const std::atomic<int>& stopSignal_;
};

}  // namespace selvo
