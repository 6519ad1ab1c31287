#include "cli/render_command.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/exr_io.h"
#include "cli/frame_job.h"
#include "cli/help_text.h"
#include "cli/printable.h"
#include "cli/progress_bar.h"
#include "cli/render_options.h"
#include "cli/settings_file.h"
#include "cli/thread_plan.h"
#include "cli/settings_text.h"
#include "demo/demo_scene.h"

#ifdef _WIN32
#include <io.h>
#define selvo_isatty(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define selvo_isatty(f) isatty(fileno(f))
#endif

namespace selvo {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// The settings a run renders with: the file's, the demo's or the defaults,
// then the output name given on the command line.
std::string ChooseSettings(const RenderOptions& options, RendererConfig& config) {
  if (!options.settings.empty()) {
    const std::string error = LoadSettingsFile(options.settings, config);
    if (!error.empty()) return error;
  } else if (options.demo) {
    config = DemoConfig();
  }
  if (options.output && !SetOutputName(config, *options.output))
    return "--output: the name is longer than 255 characters";
  return "";
}

FrameSource MakeSource(const RenderOptions& options) {
  FrameSource source;
  source.demo = options.demo;
  source.demoWidth = options.demoWidth ? options.demoWidth : kDemoWidth;
  source.demoHeight = options.demoHeight ? options.demoHeight : kDemoHeight;
  source.exr.linear = options.linear;
  source.exr.layer = options.colorLayer;
  source.idChannel = options.idChannel;
  return source;
}

// Runs of # are frame numbers only in a sequence; a single frame's names
// are files as they are, '#' included.
FrameJob MakeJob(const RenderOptions& options, int frame) {
  const auto name = [&](const std::string& pattern) {
    return options.frames ? ExpandFrameNumber(pattern, frame) : pattern;
  };
  FrameJob job;
  job.frameNumber = frame;
  job.colorPath = name(options.color);
  job.idsPath = name(options.ids);
  job.palettizedPath = name(options.palettized);
  job.previewPath = name(options.preview);
  return job;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// A missing input with '#' in its name was most likely meant as a numbered
// sequence: say how to ask for one.
std::string CheckLiteralHashInputs(const RenderOptions& options, int frame) {
  if (options.frames) return "";
  for (const std::string* path : {&options.color, &options.ids}) {
    if (!HasFramePlaceholder(*path) || Exists(*path)) continue;
    const std::string number = std::to_string(frame);
    return Printable(*path) + ": no such file; a run of # is the frame number only with " +
           "--frames (--frames " + number + " renders frame " + number + ")";
  }
  return "";
}

// Workers take frames in order from a shared counter until the range is
// done, a frame fails or Ctrl-C arrives.
class SequenceRun {
 public:
  SequenceRun(const RendererConfig& config, const RenderOptions& options, FrameRange range,
              ProgressDisplay& display)
      : config_(config), options_(options), source_(MakeSource(options)), range_(range),
        display_(display) {}

  void Work(int worker) {
    FrameBuffers buffers;  // reused across this worker's frames
    TerminalProgress progress(display_, worker, InterruptFlag());
    for (;;) {
      const long long i = next_++;
      if (i >= range_.Count() || failed_) return;
      if (InterruptFlag()) {
        interrupted_ = true;
        return;
      }
      const FrameJob job = MakeJob(options_, int(range_.first + i));
      const JobResult result = RunFrameJob(config_, source_, job, progress, buffers);
      if (result.outcome == JobOutcome::kWritten) {
        display_.FinishFrame(worker);
        if (!options_.quiet) display_.PrintLine(stdout, "wrote " + result.pcxPath);
      } else if (result.outcome == JobOutcome::kInterrupted) {
        interrupted_ = true;
        return;
      } else {
        failed_ = true;
        display_.PrintLine(stderr, "selvo: " + result.error);
      }
    }
  }

  bool failed() const { return failed_; }
  bool interrupted() const { return interrupted_; }

 private:
  const RendererConfig& config_;
  const RenderOptions& options_;
  const FrameSource source_;
  const FrameRange range_;
  ProgressDisplay& display_;
  std::atomic<long long> next_{0};
  std::atomic<bool> failed_{false};
  std::atomic<bool> interrupted_{false};
};

FrameRange ChooseFrames(const RenderOptions& options) {
  if (options.frames) return *options.frames;
  const int frame = options.frame.value_or(options.demo ? kDemoFrame : 0);
  return FrameRange{frame, frame};
}

}  // namespace

int RunRenderCommand(const std::vector<std::string>& args) {
  RenderOptions options;
  const std::string usage = ParseRenderOptions(args, options);
  if (!usage.empty()) {
    std::fprintf(stderr, "selvo: render: %s\nTry 'selvo render --help'.\n", usage.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(kRenderHelp, stdout);
    return 0;
  }
  RendererConfig config;
  const std::string error = ChooseSettings(options, config);
  if (!error.empty()) {
    std::fprintf(stderr, "selvo: %s\n", error.c_str());
    return kExitFailure;
  }

  const FrameRange range = ChooseFrames(options);
  const std::string missing = CheckLiteralHashInputs(options, range.first);
  if (!missing.empty()) {
    std::fprintf(stderr, "selvo: %s\n", missing.c_str());
    return kExitFailure;
  }
  const std::string warning = FolderDotWarning(config, range.first);
  if (!warning.empty()) std::fprintf(stderr, "selvo: %s\n", warning.c_str());
  const ThreadPlan plan = PlanThreads(options.jobs, range.Count(),
                                      int(std::thread::hardware_concurrency()));
  const int workers = plan.frameWorkers;
  SetExrDecodeThreads(plan.exrThreads);
  ProgressDisplay display(stderr, !options.quiet && selvo_isatty(stderr), range.Count(), workers);
  CatchInterrupts();
  SequenceRun run(config, options, range, display);
  if (workers == 1) {
    run.Work(0);
  } else {
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) threads.emplace_back([&run, w] { run.Work(w); });
    for (std::thread& thread : threads) thread.join();
  }
  display.Close();

  if (run.interrupted()) {
    std::fputs("selvo: interrupted; frames in progress were not written\n", stderr);
    return kExitInterrupted;
  }
  return run.failed() ? kExitFailure : 0;
}

}  // namespace selvo
