#include "core/frame_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "pcx/pcx_writer.h"
#include "tests/scratch_dir.h"

namespace selvo {
namespace {

// A frame held in memory, carrying either or both ID channels.
class MemoryFrame : public FrameAccess {
 public:
  MemoryFrame(uint16_t width, uint16_t height)
      : width_(width), height_(height), pixels_(std::size_t(width) * height) {}

  uint16_t Width() const override { return width_; }
  uint16_t Height() const override { return height_; }
  const void* IdChannel(int selector) override {
    requestedSelectors.push_back(selector);
    if (selector == 2 && !materialIds.empty()) return materialIds.data();
    if (selector == 4 && !objectIds.empty()) return objectIds.data();
    return nullptr;
  }
  bool FetchPixels(int x, int y, int count, Pixel64* out) override {
    if (y == failingRow) return false;
    std::copy_n(&pixels_[Offset(x, y)], count, out);
    return true;
  }
  void StorePixels(int x, int y, int count, const Pixel64* in) override {
    std::copy_n(in, count, &pixels_[Offset(x, y)]);
  }
  int FrameNumber() const override { return frameNumber; }

  Pixel64& At(int x, int y) { return pixels_[Offset(x, y)]; }
  const std::vector<Pixel64>& Pixels() const { return pixels_; }

  std::vector<uint8_t> materialIds;
  std::vector<uint16_t> objectIds;
  std::vector<int> requestedSelectors;
  int failingRow = -1;
  int frameNumber = 7;

 private:
  std::size_t Offset(int x, int y) const { return std::size_t(y) * width_ + x; }
  uint16_t width_, height_;
  std::vector<Pixel64> pixels_;
};

// Records the progress messages and answers the abort query from a given
// query on (counted from 0).
class ScriptedProgress : public RowProgress {
 public:
  explicit ScriptedProgress(int abortAtQuery = -1) : abortAtQuery_(abortAtQuery) {}
  void ReportProgress(int row, int lastRow) override {
    messages.push_back({kProgressMessage, row, lastRow});
  }
  void QueryAbort(int32_t* abortFlag) override {
    messages.push_back({kAbortQueryMessage, 0, *abortFlag});
    if (queries++ == abortAtQuery_) *abortFlag = 1;
  }
  struct Message {
    unsigned id;
    int wParam, value;
    bool operator==(const Message& o) const {
      return id == o.id && wParam == o.wParam && value == o.value;
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

TEST_F(FrameDriver, NoFrameAnswersNoSource) {
  ScriptedProgress progress;
  EXPECT_EQ(RenderFrame(config, nullptr, progress, buffers).status, FrameStatus::kNoSource);
  EXPECT_TRUE(progress.messages.empty());
}

TEST_F(FrameDriver, FramesThatCannotBeRenderedStayUntouched) {
  MemoryFrame empty(0, 4);
  empty.materialIds.assign(1, 0);
  MemoryFrame noChannel = GreyFrame();
  noChannel.materialIds.clear();
  noChannel.objectIds.assign(15, 0);  // the wrong channel for source 1001
  const std::vector<Pixel64> before = noChannel.Pixels();

  ScriptedProgress progress;
  EXPECT_EQ(RenderFrame(config, &empty, progress, buffers).status, FrameStatus::kNotRendered);
  EXPECT_EQ(RenderFrame(config, &noChannel, progress, buffers).status, FrameStatus::kNotRendered);
  EXPECT_EQ(noChannel.requestedSelectors, std::vector<int>{2});
  EXPECT_TRUE(progress.messages.empty());
  EXPECT_EQ(std::memcmp(before.data(), noChannel.Pixels().data(), before.size() * sizeof(Pixel64)), 0);
  EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(FrameDriver, SendsProgressThenAbortQueryBeforeEveryRow) {
  MemoryFrame frame = GreyFrame();
  ScriptedProgress progress;
  const FrameResult result = RenderFrame(config, &frame, progress, buffers);
  EXPECT_EQ(result.status, FrameStatus::kWritten);
  using M = ScriptedProgress::Message;
  const std::vector<M> expected = {{1056, 0, 2}, {1057, 0, 0}, {1056, 1, 2},
                                   {1057, 0, 0}, {1056, 2, 2}, {1057, 0, 0}};
  EXPECT_EQ(progress.messages, expected);
}

TEST_F(FrameDriver, DefaultRangesPaintEveryPixelWithEntryZero) {
  MemoryFrame frame = GreyFrame();
  ScriptedProgress progress;
  const FrameResult result = RenderFrame(config, &frame, progress, buffers);
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
  ASSERT_EQ(RenderFrame(config, &frame, progress, buffers).status, FrameStatus::kWritten);

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
  ASSERT_EQ(RenderFrame(config, &frame, progress, buffers).status, FrameStatus::kWritten);
  EXPECT_EQ(frame.requestedSelectors, std::vector<int>{4});
  EXPECT_EQ(buffers.indices, (IndexBuffer{200, 9, 9, 9}));
}

TEST_F(FrameDriver, AbortAtTheFirstQueryLeavesTheFrameUntouched) {
  config.ranges[0] = ColorRange{255, 255, 0};
  MemoryFrame frame = GreyFrame();
  const std::vector<Pixel64> before = frame.Pixels();
  ScriptedProgress progress(0);
  const FrameResult result = RenderFrame(config, &frame, progress, buffers);
  EXPECT_EQ(result.status, FrameStatus::kAborted);
  EXPECT_EQ(result.rowsDone, 0);
  EXPECT_EQ(progress.messages.size(), 2u);
  EXPECT_EQ(std::memcmp(before.data(), frame.Pixels().data(), before.size() * sizeof(Pixel64)), 0);
  EXPECT_TRUE(FilesInFolder().empty());
}

TEST_F(FrameDriver, AbortOrFetchFailureKeepsFinishedRowsAndWritesNoFile) {
  config.ranges[0] = config.ranges[1] = config.ranges[2] = ColorRange{255, 255, 0};
  for (bool abort : {true, false}) {
    MemoryFrame frame = GreyFrame();
    frame.failingRow = abort ? -1 : 2;
    ScriptedProgress progress(abort ? 2 : -1);
    const FrameResult result = RenderFrame(config, &frame, progress, buffers);
    EXPECT_EQ(result.status, abort ? FrameStatus::kAborted : FrameStatus::kFetchFailed);
    EXPECT_EQ(result.rowsDone, 2);
    EXPECT_EQ(frame.At(4, 1).r, 65280) << "row 1 palettized";
    EXPECT_EQ(frame.At(0, 2).r, 10 * 4000) << "row 2 as rendered";
    EXPECT_TRUE(FilesInFolder().empty());
  }
}

TEST_F(FrameDriver, AbortFlagStartsClearedForEachFrame) {
  MemoryFrame frame = GreyFrame();
  ScriptedProgress aborting(0);
  RenderFrame(config, &frame, aborting, buffers);
  ScriptedProgress next;
  EXPECT_EQ(RenderFrame(config, &frame, next, buffers).status, FrameStatus::kWritten);
  EXPECT_EQ(next.messages[1].value, 0);
}

TEST_F(FrameDriver, WritesThePcxUnderTheComposedName) {
  config.ranges[1] = ColorRange{16, 19, 0};
  MemoryFrame frame = GreyFrame();
  frame.frameNumber = 12;
  ScriptedProgress progress;
  const FrameResult result = RenderFrame(config, &frame, progress, buffers);
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
    EXPECT_EQ(RenderFrame(*settings, &frame, progress, buffers).status, status);
    EXPECT_EQ(frame.At(4, 2).r, 65280);
  }
  EXPECT_TRUE(FilesInFolder().empty());
}

}  // namespace
}  // namespace selvo
