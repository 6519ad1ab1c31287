// Numbered file names, frame ranges, argument reading and the progress bar.
#include <csignal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/render/render_options.h"
#include "cli/render/sequence.h"
#include "cli/render/thread_plan.h"
#include "cli/terminal/progress_bar.h"

namespace selvo {
namespace {

using ::testing::HasSubstr;

TEST(FrameNumber, EveryHashRunBecomesTheZeroPaddedNumber) {
  EXPECT_EQ(ExpandFrameNumber("walk_####.png", 7), "walk_0007.png");
  EXPECT_EQ(ExpandFrameNumber("#/ids.#.exr", 12), "12/ids.12.exr");
  EXPECT_EQ(ExpandFrameNumber("f##.png", 12345), "f12345.png");
  EXPECT_EQ(ExpandFrameNumber("f####.png", -3), "f-003.png");
  EXPECT_EQ(ExpandFrameNumber("still.png", 9), "still.png");
  // A run longer than any number is padded in full, the sign counted in.
  EXPECT_EQ(ExpandFrameNumber(std::string(25, '#'), 7), std::string(24, '0') + "7");
  EXPECT_EQ(ExpandFrameNumber(std::string(25, '#') + ".png", -3),
            "-" + std::string(23, '0') + "3.png");
  EXPECT_TRUE(HasFramePlaceholder("a#.png"));
  EXPECT_FALSE(HasFramePlaceholder("a.png"));
}

TEST(FrameRangeText, AcceptsRangesAndSingleFramesIncludingNegativeOnes) {
  const auto check = [](const char* text, int first, int last) {
    const std::optional<FrameRange> range = ParseFrameRange(text);
    ASSERT_TRUE(range.has_value()) << text;
    EXPECT_EQ(range->first, first) << text;
    EXPECT_EQ(range->last, last) << text;
  };
  check("1-24", 1, 24);
  check("5", 5, 5);
  check("-2-3", -2, 3);
  check("-5--1", -5, -1);
  for (const char* bad : {"", "3-1", "1-", "-", "a-b", "1-2-3", "1 -2", "99999999999-1"})
    EXPECT_FALSE(ParseFrameRange(bad).has_value()) << bad;
  EXPECT_EQ(ParseFrameRange("-2147483648-2147483647")->Count(), 4294967296LL);
}

TEST(RenderArguments, ValuesTakeBothFormsAndCombinationsAreChecked) {
  RenderOptions options;
  ASSERT_EQ(ParseRenderOptions({"--color=c_#.png", "--ids", "i_#.png", "--frames", "1-3", "-j", "2",
                                "--preview", "p#.png", "--output=x.pcx", "--linear"},
                               options),
            "");
  EXPECT_EQ(options.color, "c_#.png");
  EXPECT_EQ(options.ids, "i_#.png");
  EXPECT_EQ(options.frames->Count(), 3);
  EXPECT_EQ(options.jobs, 2);
  EXPECT_EQ(options.output.value(), "x.pcx");
  EXPECT_TRUE(options.linear);

  const auto problem = [](std::vector<std::string> args) {
    RenderOptions ignored;
    return ParseRenderOptions(args, ignored);
  };
  EXPECT_THAT(problem({"--color", "c.png"}), HasSubstr("give --color and --ids, or --demo"));
  EXPECT_THAT(problem({"--demo", "--color", "c.png"}), HasSubstr("leave out --color"));
  EXPECT_THAT(problem({"--demo", "--frame", "1", "--frames", "1-2"}), HasSubstr("not both"));
  EXPECT_THAT(problem({"--demo", "--frames", "1-2", "--preview", "p.png"}),
              HasSubstr("--preview needs a # run"));
  EXPECT_THAT(problem({"--demo", "--frames", "1-2", "--palettized", "p.png"}),
              HasSubstr("--palettized needs a # run"));
  EXPECT_EQ(problem({"--demo", "--frames", "1-1", "--preview", "p.png"}), "");
  EXPECT_THAT(problem({"--demo", "-j", "0"}), HasSubstr("expected 1..64"));
  EXPECT_THAT(problem({"--demo", "--frame", "1.5"}), HasSubstr("expected a whole number"));
  EXPECT_THAT(problem({"--demo", "--size", "0x10"}), HasSubstr("expected WIDTHxHEIGHT"));
  EXPECT_THAT(problem({"--demo", "--size"}), HasSubstr("--size needs a value"));
  EXPECT_THAT(problem({"--demo", "--linear=yes"}), HasSubstr("--linear takes no value"));
  EXPECT_THAT(problem({"--demo", "extra"}), HasSubstr("unknown argument extra"));
  EXPECT_THAT(problem({"--color", "c", "--ids", "i", "--size", "4x4"}),
              HasSubstr("--size applies to --demo only"));
}

TEST(ProgressBar, TextShowsTheShareDoneAndTheFrames) {
  EXPECT_EQ(FormatProgressBar(0, 0, 1, 80), "[" + std::string(30, '-') + "]   0%  0/1 frame");
  EXPECT_EQ(FormatProgressBar(1.7, 3, 3, 80), "[" + std::string(30, '#') + "] 100%  3/3 frames");
  // A narrow terminal: the bar shrinks so the line takes 39 of 40 columns.
  EXPECT_EQ(FormatProgressBar(0.5, 1, 2, 40), "[##########----------]  50%  1/2 frames");
  // Narrower still: no room for a bar of 5, then not even for the whole tail.
  EXPECT_EQ(FormatProgressBar(0.5, 1, 2, 24), " 50%  1/2 frames");
  EXPECT_EQ(FormatProgressBar(0.5, 1, 2, 9), " 50%  1/");
  for (int columns = 1; columns <= 100; ++columns)
    EXPECT_LT(FormatProgressBar(0.25, 120, 2400, columns).size(), std::size_t(columns)) << columns;
}

TEST(ProgressBar, StopQuestionAnswersTheStopSignal) {
  std::FILE* sink = std::tmpfile();
  ProgressDisplay display(sink, true, 2, 1);
  std::atomic<int> stopSignal{0};
  TerminalProgress progress(display, 0, stopSignal);
  progress.ReportProgress(3, 9);
  EXPECT_FALSE(progress.StopRequested());
  stopSignal = SIGTERM;
  EXPECT_TRUE(progress.StopRequested());

  // Drawn on the terminal: 3 of 10 rows of the first of two frames.
  display.Close();
  std::rewind(sink);
  char text[200] = {};
  std::fread(text, 1, sizeof text - 1, sink);
  std::fclose(sink);
  EXPECT_THAT(std::string(text), HasSubstr("[####--------------------------]  15%  0/2 frames"));
}

TEST(ThreadPlan, FramesFirstThenRowsAndBlocksNeverMoreThanTheJobs) {
  const auto same = [](const ThreadPlan& plan, int frames, int rows, int exr) {
    return plan.frameWorkers == frames && plan.rowThreads == rows && plan.exrThreads == exr;
  };
  // By default one thread per core: a sequence takes a frame per core, a
  // single frame all cores for its rows and its EXR blocks.
  EXPECT_TRUE(same(PlanThreads(0, 48, 2), 2, 1, 0));
  EXPECT_TRUE(same(PlanThreads(0, 1, 2), 1, 2, 2));
  EXPECT_TRUE(same(PlanThreads(0, 3, 0), 1, 1, 0));  // core count unknown
  // -j 1 keeps everything on the rendering thread.
  EXPECT_TRUE(same(PlanThreads(1, 48, 8), 1, 1, 0));
  EXPECT_TRUE(same(PlanThreads(1, 1, 8), 1, 1, 0));
  // Two frames for four jobs: two row threads each.
  EXPECT_TRUE(same(PlanThreads(4, 2, 2), 2, 2, 4));
  for (int jobs = 1; jobs <= 9; ++jobs)
    for (long long frames = 1; frames <= 12; ++frames) {
      const ThreadPlan plan = PlanThreads(jobs, frames, 2);
      EXPECT_EQ(plan.frameWorkers, std::min<long long>(jobs, frames)) << jobs << " " << frames;
      EXPECT_GE(plan.rowThreads, 1);
      EXPECT_LE(plan.frameWorkers * plan.rowThreads, jobs) << jobs << " " << frames;
    }
}

}  // namespace
}  // namespace selvo
