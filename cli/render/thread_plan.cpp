#include "cli/render/thread_plan.h"

#include <algorithm>

namespace selvo {

ThreadPlan PlanThreads(int jobs, long long frameCount, int cores) {
  const int threads = std::max(1, jobs > 0 ? jobs : cores);
  ThreadPlan plan;
  plan.frameWorkers = int(std::clamp<long long>(frameCount, 1, threads));
  plan.rowThreads = threads / plan.frameWorkers;
  // Reading and mapping take turns within a frame, so a frame's threads
  // serve both; when every thread has a frame of its own, frames decompress
  // their own blocks.
  plan.exrThreads = plan.frameWorkers < threads ? threads : 0;
  return plan;
}

}  // namespace selvo
