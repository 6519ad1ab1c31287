// Threads that a frame worker keeps for the whole run, so that the rows of
// each frame are mapped on several cores without starting a thread per frame.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/frame_driver.h"

namespace selvo {

class RowThreads : public RowWorkers {
 public:
  // `threads` counts the calling thread: 1 starts none.
  explicit RowThreads(int threads);
  ~RowThreads();
  RowThreads(const RowThreads&) = delete;
  RowThreads& operator=(const RowThreads&) = delete;

  int Threads() const override { return int(helpers_.size()) + 1; }

  // Runs task(item, thread) once for every item in 0..count - 1, on the
  // calling thread (thread 0) and the helpers (1..Threads() - 1), and
  // returns when all have finished. Items are taken in order as threads
  // come free. The first exception a task throws stops the items not yet
  // taken and is thrown here.
  void Run(int count, const std::function<void(int item, int thread)>& task) override;

 private:
  void Serve(int thread);
  void TakeItems(int thread);

  std::vector<std::thread> helpers_;
  std::mutex mutex_;
  std::condition_variable started_;
  std::condition_variable finished_;
  const std::function<void(int, int)>* task_ = nullptr;
  int count_ = 0;
  int next_ = 0;     // the next item to take
  int working_ = 0;  // helpers that have not finished the current round
  long long round_ = 0;
  bool stopping_ = false;
  std::exception_ptr failure_;
};

}  // namespace selvo
