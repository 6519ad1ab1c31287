// The host's progress window for one frame: a message-only window that
// counts a filter's progress messages (1056) and answers its abort queries
// (1057), aborting at a chosen query when asked to.
#pragma once

#include <windows.h>

class StandInProgressWindow {
 public:
  // abortAtQuery 0 never aborts; n sets the abort flag at the n-th query.
  explicit StandInProgressWindow(int abortAtQuery = 0);
  ~StandInProgressWindow();
  StandInProgressWindow(const StandInProgressWindow&) = delete;
  StandInProgressWindow& operator=(const StandInProgressWindow&) = delete;

  HWND Handle() const { return window_; }  // null when it could not be made

  int ProgressMessages() const { return progressMessages_; }
  int AbortQueries() const { return abortQueries_; }
  // Whether the window told the filter to abort.
  bool Aborted() const { return abortAtQuery_ > 0 && abortQueries_ >= abortAtQuery_; }
  // Whether every progress message named the next row (0, 1, ...) and the
  // same last row.
  bool RowsInOrder() const { return rowsInOrder_; }
  long LastRow() const { return lastRow_; }  // -1 before the first message

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnProgress(WPARAM row, LPARAM lastRow);
  void OnAbortQuery(LPARAM abortFlag);

  HWND window_ = nullptr;
  int abortAtQuery_;
  int progressMessages_ = 0;
  int abortQueries_ = 0;
  bool rowsInOrder_ = true;
  long lastRow_ = -1;
};
