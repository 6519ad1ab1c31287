#include "cli/render/row_threads.h"

#include <utility>

namespace selvo {

RowThreads::RowThreads(int threads) {
  for (int t = 1; t < threads; ++t) helpers_.emplace_back([this, t] { Serve(t); });
}

RowThreads::~RowThreads() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  started_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

void RowThreads::Run(int count, const std::function<void(int, int)>& task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = &task;
    count_ = count;
    next_ = 0;
    working_ = int(helpers_.size());
    ++round_;
  }
  started_.notify_all();
  TakeItems(0);
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [this] { return working_ == 0; });
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

// Items are few and large (bands of rows): a lock per item costs nothing.
void RowThreads::TakeItems(int thread) {
  for (;;) {
    int item;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (next_ >= count_) return;
      item = next_++;
    }
    try {
      (*task_)(item, thread);
    } catch (...) {  // out of memory, say: the caller rethrows it
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      next_ = count_;
    }
  }
}

void RowThreads::Serve(int thread) {
  long long served = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      started_.wait(lock, [&] { return stopping_ || round_ != served; });
      if (stopping_) return;
      served = round_;
    }
    TakeItems(thread);
    std::lock_guard<std::mutex> lock(mutex_);
    if (--working_ == 0) finished_.notify_one();
  }
}

}  // namespace selvo
