// The threads a frame worker lends to the frame driver.
#include "cli/render/row_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <vector>

namespace selvo {
namespace {

TEST(RowThreads, EveryItemRunsOnceRoundAfterRound) {
  for (int threads : {1, 2, 5}) {
    RowThreads pool(threads);
    EXPECT_EQ(pool.Threads(), threads);
    for (int count : {0, 1, 3, 200}) {  // fewer items than threads too
      std::vector<std::atomic<int>> runs(count);
      std::atomic<int> badThread{0};
      pool.Run(count, [&](int item, int thread) {
        ++runs[item];
        if (thread < 0 || thread >= threads) ++badThread;
      });
      for (int i = 0; i < count; ++i) EXPECT_EQ(runs[i], 1) << threads << " " << i;
      EXPECT_EQ(badThread, 0);
    }
  }
}

TEST(RowThreads, NoTwoItemsShareAThreadAtOnce) {
  RowThreads pool(3);
  std::vector<std::atomic<int>> busy(3);
  std::atomic<int> overlaps{0};
  pool.Run(300, [&](int, int thread) {
    if (++busy[thread] != 1) ++overlaps;
    --busy[thread];
  });
  EXPECT_EQ(overlaps, 0);
}

TEST(RowThreads, AnItemsExceptionStopsTheRoundAndReachesTheCaller) {
  // With helpers, the others may take every remaining item while the
  // throwing one unwinds; on the calling thread alone the stop is exact.
  for (int threads : {1, 2}) {
    RowThreads pool(threads);
    std::atomic<int> ran{0};
    EXPECT_THROW(pool.Run(1000,
                          [&](int item, int) {
                            ++ran;
                            if (item == 10) throw std::bad_alloc();
                          }),
                 std::bad_alloc);
    if (threads == 1) {
      EXPECT_EQ(ran, 11);
    }
    // The pool serves the next round as before.
    ran = 0;
    pool.Run(50, [&](int, int) { ++ran; });
    EXPECT_EQ(ran, 50);
  }
}

}  // namespace
}  // namespace selvo
