#include "core/frame_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "pcx/pcx_writer.h"
#include "testing/memory_frame.h"
#include "testing/scratch_dir.h"

namespace selvo {
namespace {

using test::MemoryFrame;

// The same frame handed out a row at a time, as a host does; a row may be
// made unreadable.
class RowByRowFrame : public RowTransfer {
 public:
  explicit RowByRowFrame(MemoryFrame& frame) : frame_(frame), view_(frame.View()) {}

  FrameView View() {
    FrameView view = view_;
    view.pixels = nullptr;
    view.rowTransfer = this;
    return view;
  }
  bool FetchRow(int y, Pixel64* row) override {
    fetched.push_back(y);
    if (y == failingRow) return false;
    std::copy_n(&frame_.At(0, y), view_.width, row);
    return true;
  }
  void StoreRow(int y, const Pixel64* row) override {
    stored.push_back(y);
    std::copy_n(row, view_.width, &frame_.At(0, y));
  }

  int failingRow = -1;
  std::vector<int> fetched, stored;

 private:
  MemoryFrame& frame_;
  FrameView view_;
};

// Records the progress reports and the stop questions with their answers,
// and asks to stop at a given question (counted from 0).
class ScriptedProgress : public RowProgress {
 public:
  enum Kind { kProgress, kStopQuestion };
  explicit ScriptedProgress(int abortAtQuery = -1) : abortAtQuery_(abortAtQuery) {}
  void ReportProgress(int row, int lastRow) override {
    messages.push_back({kProgress, row, lastRow});
  }
  bool StopRequested() override {
    const bool stop = queries++ == abortAtQuery_;
    messages.push_back({kStopQuestion, 0, stop});
    return stop;
  }
  struct Message {
    Kind kind;
    int row, value;
    bool operator==(const Message& o) const {
      return kind == o.kind && row == o.row && value == o.value;
    }
  };
  std::vector<Message> messages;
  int queries = 0;

 private:
  int abortAtQuery_;
};

class FrameDriver : public ::testing::Test {
 protected:
  FrameDriver() { SetOutputName(config, scratch_.Path("shot.pcx")); }

  // A 5 x 3 grey ramp with material IDs 0, 1, 2 by row.
  MemoryFrame GreyFrame() {
    MemoryFrame frame(5, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        const uint16_t v = uint16_t((y * 5 + x) * 4000);
        frame.At(x, y) = Pixel64{v, v, v, uint16_t(1000 + x)};
        frame.materialIds.push_back(uint8_t(y));
      }
    return frame;
  }

  std::vector<std::string> FilesInFolder() const { return scratch_.Files(); }

  RendererConfig config;
  FrameBuffers buffers;
  test::ScratchDir scratch_;
};

TEST_F(FrameDriver, FramesThatCannotBeRenderedStayUntouched) {
  MemoryFrame empty(0, 4);
  empty.materialIds.assign(1, 0);
  MemoryFrame noChannel = GreyFrame();
  noChannel.materialIds.clear();
  noChannel.objectIds.assign(15, 0);  // the wrong channel for source 1001
  const std::vector<Pixel64> before = noChannel.pixels;

  ScriptedProgress progress;
  EXPECT_EQ(RenderFrame(config, empty.View(), progress, buffers).status, FrameStatus::kNotRendered);
  EXPECT_EQ(RenderFrame(config, noChannel.View(), progress, buffers).status,
            FrameStatus::kNotRendered);
  EXPECT_TRUE(progress.messages.empty());
  EXPECT_EQ(std::memcmp(before.data(), noChannel.pixels.data(), before.size() * sizeof(Pixel64)),
            0);
  EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(FrameDriver, ReportsProgressThenAsksWhetherToStopBeforeEveryRow) {
  MemoryFrame frame = GreyFrame();
  ScriptedProgress progress;
  const FrameResult result = RenderFrame(config, frame.View(), progress, buffers);
  EXPECT_EQ(result.status, FrameStatus::kWritten);
  using M = ScriptedProgress::Message;
  const auto kProgress = ScriptedProgress::kProgress;
  const auto kQuery = ScriptedProgress::kStopQuestion;
  const std::vector<M> expected = {{kProgress, 0, 2}, {kQuery, 0, 0},    {kProgress, 1, 2},
                                   {kQuery, 0, 0},    {kProgress, 2, 2}, {kQuery, 0, 0}};
  EXPECT_EQ(progress.messages, expected);
}

TEST_F(FrameDriver, DefaultRangesPaintEveryPixelWithEntryZero) {
  MemoryFrame frame = GreyFrame();
  ScriptedProgress progress;
  const FrameResult result = RenderFrame(config, frame.View(), progress, buffers);
  ASSERT_EQ(result.status, FrameStatus::kWritten);
  EXPECT_EQ(result.rowsDone, 3);
  EXPECT_EQ(buffers.indices, IndexBuffer(15, 0));
  for (int x = 0; x < 5; ++x) {
    const Pixel64& p = frame.At(x, 2);
    EXPECT_EQ(p.r + p.g + p.b, 0);
    EXPECT_EQ(p.a, 1000 + x) << "alpha is kept";
  }
}

TEST_F(FrameDriver, MapsEachPixelWithTheRangeOfItsId) {
  config.ranges[0] = ColorRange{255, 255, 0};  // white
  config.ranges[1] = ColorRange{16, 19, 1};
  config.ranges[2] = ColorRange{100, 100, 0};
  MemoryFrame frame = GreyFrame();
  ScriptedProgress progress;
  ASSERT_EQ(RenderFrame(config, frame.View(), progress, buffers).status, FrameStatus::kWritten);

  const IndexBuffer expected = {255, 255, 255, 255, 255,  // row 0: ID 0
                                17,  17,  17,  17,  18,   // row 1: levels 20000..36000, dithered
                                100, 100, 100, 100, 100};
  EXPECT_EQ(buffers.indices, expected);
  const Pixel64 white = frame.At(4, 0);
  EXPECT_EQ(white.r, 65280);
  EXPECT_EQ(white.g, 65280);
  EXPECT_EQ(white.b, 65280);
  EXPECT_EQ(white.a, 1004);
  const uint8_t* entry100 = config.palette + 300;
  EXPECT_EQ(frame.At(0, 2).g, entry100[1] * 256);
}

TEST_F(FrameDriver, ObjectChannelIdsAreSixteenBitAndLargeOnesUseIdZero) {
  config.sourceChannel = kObjectChannel;
  config.ranges[0] = ColorRange{9, 9, 0};
  config.ranges[5] = ColorRange{200, 200, 0};
  MemoryFrame frame(4, 1);
  frame.objectIds = {5, 0x0105, 16, 65535};  // 0x0105 is not ID 5
  frame.materialIds = {5, 5, 5, 5};
  ScriptedProgress progress;
  ASSERT_EQ(RenderFrame(config, frame.View(), progress, buffers).status, FrameStatus::kWritten);
  EXPECT_EQ(buffers.indices, (IndexBuffer{200, 9, 9, 9}));
}

TEST_F(FrameDriver, AbortAtTheFirstQueryLeavesTheFrameUntouched) {
  config.ranges[0] = ColorRange{255, 255, 0};
  MemoryFrame frame = GreyFrame();
  const std::vector<Pixel64> before = frame.pixels;
  ScriptedProgress progress(0);
  const FrameResult result = RenderFrame(config, frame.View(), progress, buffers);
  EXPECT_EQ(result.status, FrameStatus::kAborted);
  EXPECT_EQ(result.rowsDone, 0);
  EXPECT_EQ(progress.messages.size(), 2u);
  EXPECT_EQ(std::memcmp(before.data(), frame.pixels.data(), before.size() * sizeof(Pixel64)), 0);
  EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(FrameDriver, AbortOrFetchFailureKeepsFinishedRowsAndWritesNoFile) {
  config.ranges[0] = config.ranges[1] = config.ranges[2] = ColorRange{255, 255, 0};
  for (bool abort : {true, false}) {
    MemoryFrame frame = GreyFrame();
    RowByRowFrame rows(frame);
    rows.failingRow = abort ? -1 : 2;
    ScriptedProgress progress(abort ? 2 : -1);
    const FrameResult result = RenderFrame(config, rows.View(), progress, buffers);
    EXPECT_EQ(result.status, abort ? FrameStatus::kAborted : FrameStatus::kFetchFailed);
    EXPECT_EQ(result.rowsDone, 2);
    EXPECT_EQ(rows.stored, (std::vector<int>{0, 1}));
    EXPECT_EQ(frame.At(4, 1).r, 65280) << "row 1 palettized";
    EXPECT_EQ(frame.At(0, 2).r, 10 * 4000) << "row 2 as rendered";
    EXPECT_TRUE(FilesInFolder().empty());
  }
}

// A frame handed out a row at a time gets each row back once, in order, as
// palettized as a frame in memory.
TEST_F(FrameDriver, RowByRowFrameGetsTheSamePixelsAsAFrameInMemory) {
  config.ranges[1] = ColorRange{16, 19, 1};
  config.ranges[2] = ColorRange{100, 120, 0};
  MemoryFrame inMemory = GreyFrame();
  MemoryFrame handedOut = GreyFrame();
  RowByRowFrame rows(handedOut);
  ScriptedProgress progress;
  ASSERT_EQ(RenderFrame(config, inMemory.View(), progress, buffers).status, FrameStatus::kWritten);
  const IndexBuffer inMemoryIndices = buffers.indices;
  ASSERT_EQ(RenderFrame(config, rows.View(), progress, buffers).status, FrameStatus::kWritten);
  EXPECT_EQ(rows.fetched, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(rows.stored, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(buffers.indices, inMemoryIndices);
  EXPECT_EQ(std::memcmp(inMemory.pixels.data(), handedOut.pixels.data(),
                        inMemory.pixels.size() * sizeof(Pixel64)),
            0);
}

// Lent threads as the driver sees them, played on one thread: items run
// last first, each on a thread of its own choosing, so that any reliance on
// order or on one mapper shows.
class BackwardsWorkers : public RowWorkers {
 public:
  int Threads() const override { return 3; }
  void Run(int count, const std::function<void(int, int)>& task) override {
    ++rounds;
    for (int item = count - 1; item >= 0; --item) task(item, item % 3);
  }
  int rounds = 0;
};

// 150 rows of noisy colour, material IDs 0..3 by column: more than one band.
MemoryFrame NoisyFrame() {
  MemoryFrame frame(37, 150);
  uint32_t state = 12345;
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 37; ++x) {
      uint16_t channel[3];
      for (uint16_t& c : channel) c = uint16_t((state = state * 1664525 + 1013904223) >> 16);
      frame.At(x, y) = Pixel64{channel[0], channel[1], channel[2], 65535};
      frame.materialIds.push_back(uint8_t(x % 4));
    }
  return frame;
}

TEST_F(FrameDriver, LentThreadsGiveTheSameFrameReportsAndStops) {
  for (int i = 0; i < 256; ++i) config.palette[3 * i] = config.palette[3 * i + 2] = uint8_t(i);
  config.ranges[1] = ColorRange{10, 200, 1};
  config.ranges[2] = ColorRange{0, 255, 0};
  config.ranges[3] = ColorRange{40, 41, 0};
  for (int method : {kUniformDistribution, kFindMostSimilarColor}) {
    config.method = method;
    for (int abortAt : {-1, 0, 100, 149}) {
      MemoryFrame alone = NoisyFrame(), lent = NoisyFrame();
      RowByRowFrame lentRows(lent);  // odd rounds: rows handed out on the threads
      ScriptedProgress aloneProgress(abortAt), lentProgress(abortAt);
      FrameBuffers aloneBuffers, lentBuffers;
      BackwardsWorkers workers;
      lentBuffers.workers = &workers;
      const FrameResult expected = RenderFrame(config, alone.View(), aloneProgress, aloneBuffers);
      const bool rowByRow = abortAt % 2 != 0;
      const FrameResult result =
          RenderFrame(config, rowByRow ? lentRows.View() : lent.View(), lentProgress, lentBuffers);
      EXPECT_EQ(result.status, expected.status) << method << " " << abortAt;
      EXPECT_EQ(result.rowsDone, abortAt < 0 ? 150 : abortAt);
      EXPECT_EQ(result.rowsDone, expected.rowsDone);
      EXPECT_TRUE(lentProgress.messages == aloneProgress.messages) << method << " " << abortAt;
      EXPECT_EQ(std::memcmp(lent.pixels.data(), alone.pixels.data(),
                            alone.pixels.size() * sizeof(Pixel64)),
                0)
          << method << " " << abortAt;
      const std::size_t done = std::size_t(expected.rowsDone) * 37;
      EXPECT_TRUE(std::equal(aloneBuffers.indices.begin(), aloneBuffers.indices.begin() + done,
                             lentBuffers.indices.begin()));
      if (abortAt != 0) {
        EXPECT_GT(workers.rounds, 0);  // the rows went to the threads
      }
    }
  }
}

TEST_F(FrameDriver, AbortFlagStartsClearedForEachFrame) {
  MemoryFrame frame = GreyFrame();
  ScriptedProgress aborting(0);
  RenderFrame(config, frame.View(), aborting, buffers);
  ScriptedProgress next;
  EXPECT_EQ(RenderFrame(config, frame.View(), next, buffers).status, FrameStatus::kWritten);
  EXPECT_EQ(next.messages[1].value, 0);
}

TEST_F(FrameDriver, WritesThePcxUnderTheComposedName) {
  config.ranges[1] = ColorRange{16, 19, 0};
  MemoryFrame frame = GreyFrame();
  frame.frameNumber = 12;
  ScriptedProgress progress;
  const FrameResult result = RenderFrame(config, frame.View(), progress, buffers);
  ASSERT_EQ(result.status, FrameStatus::kWritten);
  EXPECT_EQ(result.pcxPath, scratch_.Path("shot0012.pcx"));

  std::ifstream in(result.pcxPath, std::ios::binary);
  const std::vector<uint8_t> written{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(written, EncodePcxToMemory(buffers.indices.data(), 5, 3, config.palette));
  EXPECT_EQ(FilesInFolder().size(), 1u) << "no temporary file left over";
}

TEST_F(FrameDriver, UnusableNamesPalettizeButWriteNoFile) {
  config.ranges[0] = config.ranges[1] = config.ranges[2] = ColorRange{255, 255, 0};
  RendererConfig unterminated = config;
  std::memset(unterminated.outputName, 'a', kNameSize);
  RendererConfig tooLong = config;
  // 250 characters before the dot: 258 once the frame number is added.
  ASSERT_TRUE(SetOutputName(tooLong, std::string(250, 'b') + ".pcx"));
  RendererConfig missingFolder = config;
  SetOutputName(missingFolder, scratch_.Path("absent/x.pcx"));

  const std::pair<const RendererConfig*, FrameStatus> runs[] = {
      {&unterminated, FrameStatus::kBadName},
      {&tooLong, FrameStatus::kBadName},
      {&missingFolder, FrameStatus::kWriteFailed},
  };
  for (const auto& [settings, status] : runs) {
    MemoryFrame frame = GreyFrame();
    ScriptedProgress progress;
    EXPECT_EQ(RenderFrame(*settings, frame.View(), progress, buffers).status, status);
    EXPECT_EQ(frame.At(4, 2).r, 65280);
  }
  EXPECT_TRUE(FilesInFolder().empty());
}

}  // namespace
}  // namespace selvo
