// One frame from files to files, through the core's frame driver.
#include <png.h>

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/render/frame_job.h"
#include "core/map_pixel.h"
#include "imageio/png/png_io.h"
#include "pcx/pcx_writer.h"
#include "testing/test_files.h"

namespace selvo {
namespace {

using test::ScratchDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A progress window that records the rows and stops before `abortAtRow`.
class ScriptedProgress : public RowProgress {
 public:
  explicit ScriptedProgress(int abortAtRow = -1) : abortAtRow_(abortAtRow) {}
  void ReportProgress(int row, int lastRow) override {
    rows.push_back(row);
    lastRowSeen = lastRow;
  }
  bool StopRequested() override { return !rows.empty() && rows.back() == abortAtRow_; }
  std::vector<int> rows;
  int lastRowSeen = -1;

 private:
  int abortAtRow_;
};

// Settings that give every ID its own visible band: 0..3 plain, 1: 8..15
// dithered, 2: 100..100.
RendererConfig BandSettings(const std::string& outputName) {
  RendererConfig config;
  config.ranges[0] = ColorRange{0, 3, 0};
  config.ranges[1] = ColorRange{8, 15, 1};
  config.ranges[2] = ColorRange{100, 100, 0};
  SetOutputName(config, outputName);
  return config;
}

// A 5 x 3 RGBA gradient and its IDs; returns the colour pixels as written.
std::vector<Pixel64> WriteInputs(const std::string& color, const std::string& ids,
                                 const std::vector<uint16_t>& idValues, int idDepth = 8) {
  std::vector<uint16_t> samples;
  std::vector<Pixel64> pixels;
  for (int i = 0; i < 15; ++i) {
    const uint16_t level = uint16_t(i * 4000);
    const uint16_t alpha = uint16_t(65535 - i);
    samples.insert(samples.end(), {level, uint16_t(level / 2), uint16_t(60000 - level), alpha});
    pixels.push_back(Pixel64{level, uint16_t(level / 2), uint16_t(60000 - level), alpha});
  }
  test::WritePng(color, 5, 3, PNG_COLOR_TYPE_RGB_ALPHA, 16, samples);
  test::WritePng(ids, 5, 3, PNG_COLOR_TYPE_GRAY, idDepth, idValues);
  return pixels;
}

const std::vector<uint16_t> kIds = {0, 1, 2, 0, 1, 2, 2, 1, 0, 7, 1, 1, 0, 0, 2};

struct Rendered {
  JobResult result;
  std::vector<uint8_t> pcx;
};

class FrameJobTest : public ::testing::Test {
 protected:
  FrameJob Job(int frame = 7) {
    FrameJob job;
    job.frameNumber = frame;
    job.colorPath = dir.Path("color.png");
    job.idsPath = dir.Path("ids.png");
    return job;
  }
  JobResult Run(const RendererConfig& config, const FrameJob& job, RowProgress& progress) {
    FrameBuffers buffers;
    return RunFrameJob(config, FrameSource{}, job, progress, buffers);
  }
  ScratchDir dir;
};

TEST_F(FrameJobTest, WritesThePcxOfTheCoresIndicesAndBothPngs) {
  const std::vector<Pixel64> pixels = WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), kIds);
  const RendererConfig config = BandSettings(dir.Path("walk.pcx"));
  FrameJob job = Job(7);
  job.palettizedPath = dir.Path("pal.png");
  job.previewPath = dir.Path("preview.png");
  ScriptedProgress progress;
  const JobResult result = Run(config, job, progress);
  ASSERT_EQ(result.outcome, JobOutcome::kWritten) << result.error;
  EXPECT_EQ(result.pcxPath, dir.Path("walk0007.pcx"));
  EXPECT_THAT(progress.rows, ElementsAre(0, 1, 2));
  EXPECT_EQ(progress.lastRowSeen, 2);

  // Expected: each pixel mapped by the core's MapPixel in its ID's band.
  std::vector<uint8_t> indices;
  for (int i = 0; i < 15; ++i)
    indices.push_back(MapPixel(pixels[i], i % 5, i / 5, RangeForId(config, kIds[i]), config.palette,
                               config.method));
  EXPECT_EQ(test::ReadBytes(result.pcxPath),
            EncodePcxToMemory(indices.data(), 5, 3, config.palette));

  // The palettized PNG: palette colours x 256 with the input's alpha.
  ColorImage palettized;
  ASSERT_EQ(ReadPngColor(job.palettizedPath, palettized), "");
  for (int i = 0; i < 15; ++i) {
    const uint8_t* entry = config.palette + 3 * indices[i];
    EXPECT_EQ(palettized.pixels[i].r, entry[0] * 256) << i;
    EXPECT_EQ(palettized.pixels[i].g, entry[1] * 256) << i;
    EXPECT_EQ(palettized.pixels[i].b, entry[2] * 256) << i;
    EXPECT_EQ(palettized.pixels[i].a, pixels[i].a) << i;
  }
  // The preview, read back as colours: entry bytes x 257.
  ColorImage preview;
  ASSERT_EQ(ReadPngColor(job.previewPath, preview), "");
  for (int i = 0; i < 15; ++i)
    EXPECT_EQ(preview.pixels[i].r, config.palette[3 * indices[i]] * 257) << i;
}

TEST_F(FrameJobTest, ObjectChannelTakesSixteenBitIds) {
  // 256 + 1 is ID 257: beyond the 16 ranges, so it takes ID 0's band; as
  // a material ID it would not fit.
  std::vector<uint16_t> ids(15, 257);
  ids[4] = 2;
  WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), ids, 16);
  RendererConfig config = BandSettings(dir.Path("obj.pcx"));
  config.sourceChannel = kObjectChannel;
  ScriptedProgress progress;
  const JobResult result = Run(config, Job(), progress);
  ASSERT_EQ(result.outcome, JobOutcome::kWritten) << result.error;

  config.sourceChannel = kMaterialEffectsChannel;
  const JobResult refused = Run(config, Job(), progress);
  EXPECT_EQ(refused.outcome, JobOutcome::kFailed);
  EXPECT_THAT(refused.error,
              HasSubstr(dir.Path("ids.png") + ": ID 257 at pixel (0, 0) does not fit the material "
                                              "effects channel (0..255)"));
}

TEST_F(FrameJobTest, AbortBetweenRowsWritesNoFile) {
  WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), kIds);
  const RendererConfig config = BandSettings(dir.Path("abort.pcx"));
  FrameJob job = Job();
  job.palettizedPath = dir.Path("pal.png");
  job.previewPath = dir.Path("preview.png");
  ScriptedProgress progress(/*abortAtRow=*/1);
  const JobResult result = Run(config, job, progress);
  EXPECT_EQ(result.outcome, JobOutcome::kInterrupted);
  EXPECT_THAT(progress.rows, ElementsAre(0, 1));
  EXPECT_THAT(dir.Files(), ElementsAre("color.png", "ids.png"));
}

TEST_F(FrameJobTest, BadInputLeavesNoFileBehind) {
  RendererConfig config = BandSettings(dir.Path("bad.pcx"));
  ScriptedProgress progress;
  // IDs of another size than the colour image.
  WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), kIds);
  test::WritePng(dir.Path("ids.png"), 4, 3, PNG_COLOR_TYPE_GRAY, 8, std::vector<uint16_t>(12, 0));
  JobResult result = Run(config, Job(), progress);
  EXPECT_EQ(result.outcome, JobOutcome::kFailed);
  EXPECT_EQ(result.error,
            dir.Path("ids.png") + ": 4 x 3 pixels, but " + dir.Path("color.png") + " is 5 x 3");
  // A missing ID image.
  std::filesystem::remove(dir.Path("ids.png"));
  result = Run(config, Job(), progress);
  EXPECT_EQ(result.error, dir.Path("ids.png") + ": cannot open file: No such file or directory");
  EXPECT_TRUE(progress.rows.empty());  // the driver never started
  EXPECT_THAT(dir.Files(), ElementsAre("color.png"));
}

TEST_F(FrameJobTest, OutputNameTooLongIsAnError) {
  WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), kIds);
  const RendererConfig config = BandSettings(std::string(250, 'n'));
  ScriptedProgress progress;
  const JobResult result = Run(config, Job(), progress);
  EXPECT_EQ(result.outcome, JobOutcome::kFailed);
  EXPECT_THAT(result.error, HasSubstr("gives no PCX file name of at most 255 characters"));
}

TEST_F(FrameJobTest, FailedPngWriteLeavesNoPartialFile) {
  WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), kIds);
  const RendererConfig config = BandSettings(dir.Path("f.pcx"));
  // A folder stands where the preview should go: the rename cannot replace it.
  std::filesystem::create_directory(dir.Path("preview.png"));
  FrameJob job = Job(3);
  job.previewPath = dir.Path("preview.png");
  ScriptedProgress progress;
  const JobResult result = Run(config, job, progress);
  EXPECT_EQ(result.outcome, JobOutcome::kFailed);
  EXPECT_THAT(result.error, HasSubstr(dir.Path("preview.png") + ": cannot replace file"));
  EXPECT_THAT(dir.Files(), ElementsAre("color.png", "f0003.pcx", "ids.png", "preview.png"));
}

// An output that is also an input (by name, through another spelling, or
// as a hard link), or two outputs that are one file, are refused before
// anything is read or written.
TEST_F(FrameJobTest, OutputsThatAreAnInputOrEachOtherAreRefused) {
  WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), kIds);
  std::filesystem::create_hard_link(dir.Path("color.png"), dir.Path("link.png"));
  const std::vector<uint8_t> colorBytes = test::ReadBytes(dir.Path("color.png"));
  const std::vector<uint8_t> idBytes = test::ReadBytes(dir.Path("ids.png"));
  struct Case {
    std::string palettized, preview, error;
  };
  const std::string sub = dir.Path("sub");
  std::filesystem::create_directory(sub);
  const std::string color = dir.Path("color.png"), link = dir.Path("link.png");
  const std::string pal = dir.Path("pal.png"), pcx = dir.Path("x0007.pcx");
  const Case cases[] = {
      {"", color, color + " (--preview) is the same file as " + color + " (--color)"},
      {sub + "/../ids.png", "",
       sub + "/../ids.png (--palettized) is the same file as " + dir.Path("ids.png") + " (--ids)"},
      {"", link, link + " (--preview) is the same file as " + color + " (--color)"},
      {pal, sub + "/../pal.png",
       sub + "/../pal.png (--preview) is the same file as " + pal + " (--palettized)"},
      {pcx, "", pcx + " (--palettized) is the same file as " + pcx + " (the PCX file)"},
  };
  for (const Case& c : cases) {
    FrameJob job = Job(7);
    job.palettizedPath = c.palettized;
    job.previewPath = c.preview;
    ScriptedProgress progress;
    const JobResult result = Run(BandSettings(dir.Path("x.pcx")), job, progress);
    EXPECT_EQ(result.outcome, JobOutcome::kFailed);
    EXPECT_EQ(result.error, c.error + "; nothing was written");
    EXPECT_TRUE(progress.rows.empty()) << "refused before rendering";
  }
  EXPECT_THAT(dir.Files(), ElementsAre("color.png", "ids.png", "link.png", "sub"));
  EXPECT_EQ(test::ReadBytes(color), colorBytes);
  EXPECT_EQ(test::ReadBytes(dir.Path("ids.png")), idBytes);
}

TEST_F(FrameJobTest, UnwritablePcxIsReportedWithTheSystemsReason) {
  WriteInputs(dir.Path("color.png"), dir.Path("ids.png"), kIds);
  const RendererConfig config = BandSettings(dir.Path("no/such/folder/x.pcx"));
  ScriptedProgress progress;
  const JobResult result = Run(config, Job(2), progress);
  EXPECT_EQ(result.outcome, JobOutcome::kFailed);
  EXPECT_EQ(result.error, dir.Path("no/such/folder/x0002.pcx") +
                              ": cannot create file: No such file or directory");
}

TEST(DemoFrameJob, RendersTheDemoWithoutFiles) {
  ScratchDir dir;
  RendererConfig config;
  SetOutputName(config, dir.Path("d.pcx"));
  config.ranges[2] = ColorRange{10, 20, 0};
  FrameSource source;
  source.demo = true;
  source.demoWidth = 33;
  source.demoHeight = 17;
  FrameJob job;
  job.frameNumber = 5;
  FrameBuffers buffers;
  ScriptedProgress progress;
  const JobResult result = RunFrameJob(config, source, job, progress, buffers);
  ASSERT_EQ(result.outcome, JobOutcome::kWritten) << result.error;
  EXPECT_GT(test::ReadBytes(dir.Path("d0005.pcx")).size(), 128u + 769u);
  EXPECT_EQ(progress.lastRowSeen, 16);
}

}  // namespace
}  // namespace selvo
