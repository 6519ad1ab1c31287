#include "cli/render/render_command.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/config/settings_file.h"
#include "cli/config/settings_text.h"
#include "cli/render/frame_job.h"
#include "cli/render/render_options.h"
#include "cli/render/row_threads.h"
#include "cli/render/thread_plan.h"
#include "cli/terminal/help_text.h"
#include "cli/terminal/progress_bar.h"
#include "cli/terminal/standard_streams.h"
#include "cli/terminal/stop_signals.h"
#include "demo/demo_scene.h"
#include "extras/extras_document.h"
#include "extras/extras_rows.h"
#include "imageio/exr/exr_io.h"
#include "imageio/text.h"

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

FrameSource MakeSource(const RenderOptions& options, const Extras& extras) {
  FrameSource source;
  source.extras = extras;
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
// done, a frame fails or a stop signal arrives.
class SequenceRun {
 public:
  SequenceRun(const RendererConfig& config, const Extras& extras, const RenderOptions& options,
              FrameRange range, int rowThreads, ProgressDisplay& display)
      : config_(config),
        options_(options),
        source_(MakeSource(options, extras)),
        range_(range),
        rowThreads_(rowThreads),
        display_(display) {}

  void Work(int worker) {
    RowThreads rows(rowThreads_);
    FrameBuffers buffers;  // reused across this worker's frames
    if (rows.Threads() > 1) buffers.workers = &rows;
    // Without extras the frames go through the filter's own mappers.
    ExtrasRows extrasRows(source_.extras);
    if (AnyExtraChosen(source_.extras)) buffers.mappers = &extrasRows;
    TerminalProgress progress(display_, worker, StopSignal());
    for (;;) {
      const long long i = next_++;
      if (i >= range_.Count() || failed_) return;
      if (StopSignal() != 0) return;
      const FrameJob job = MakeJob(options_, int(range_.first + i));
      const JobResult result = RunFrameJob(config_, source_, job, progress, buffers);
      if (result.outcome == JobOutcome::kInterrupted) return;
      if (result.outcome == JobOutcome::kFailed) {
        Fail(result.error);
        return;
      }
      display_.FinishFrame(worker);
      // A closed or full stdout stops the run; main reports it.
      if (!options_.quiet && !display_.PrintLine(stdout, "wrote " + Printable(result.pcxPath)))
        failed_ = true;
    }
  }

  bool failed() const { return failed_; }

 private:
  // Only the first failure is reported: with several workers, a full disk
  // fails every frame in flight, and one line says it.
  void Fail(const std::string& error) {
    if (!failed_.exchange(true)) display_.PrintLine(stderr, "selvo: " + Printable(error));
  }

  const RendererConfig& config_;
  const RenderOptions& options_;
  const FrameSource source_;
  const FrameRange range_;
  const int rowThreads_;
  ProgressDisplay& display_;
  std::atomic<long long> next_{0};
  std::atomic<bool> failed_{false};
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
    PrintError("render: " + usage);
    std::fputs("Try 'selvo render --help'.\n", stderr);
    return kExitUsage;
  }
  if (options.help) {
    WriteText(stdout, kRenderHelp);
    return 0;
  }
  RendererConfig config;
  Extras extras;
  std::string error = ChooseSettings(options, config);
  if (error.empty() && !options.extras.empty()) error = ReadExtrasFile(options.extras, extras);
  if (!error.empty()) {
    PrintError(error);
    return kExitFailure;
  }

  const FrameRange range = ChooseFrames(options);
  const std::string missing = CheckLiteralHashInputs(options, range.first);
  if (!missing.empty()) {
    PrintError(missing);
    return kExitFailure;
  }
  const std::string warning = FolderDotWarning(config, range.first);
  if (!warning.empty()) PrintError(warning);
  const ThreadPlan plan =
      PlanThreads(options.jobs, range.Count(), int(std::thread::hardware_concurrency()));
  const int workers = plan.frameWorkers;
  SetExrDecodeThreads(plan.exrThreads);
  ProgressDisplay display(stderr, !options.quiet && selvo_isatty(stderr), range.Count(), workers);
  StopBetweenRows();
  SequenceRun run(config, extras, options, range, plan.rowThreads, display);
  if (workers == 1) {
    run.Work(0);
  } else {
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) threads.emplace_back([&run, w] { run.Work(w); });
    for (std::thread& thread : threads) thread.join();
  }
  display.Close();

  if (const int signal = StopSignal()) {
    PrintError(StoppedMessage(signal));
    return StoppedStatus(signal);
  }
  return run.failed() ? kExitFailure : 0;
}

}  // namespace selvo
