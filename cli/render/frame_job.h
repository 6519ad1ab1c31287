// One frame from inputs to files: load the colour and ID images (or the demo
// scene), render through the core's frame driver, save the optional PNGs.
// Free of the terminal and of process state, so tests run it directly.
#pragma once

#include <string>

#include "core/frame_driver.h"
#include "core/renderer_config.h"
#include "extras/extras.h"
#include "imageio/exr/exr_io.h"

namespace selvo {

// Where every frame of a run takes its inputs from.
struct FrameSource {
  bool demo = false;
  int demoWidth = 0;
  int demoHeight = 0;
  ExrColorOptions exr;
  std::string idChannel;  // an EXR channel named by the user, or ""
  // The extras chosen with --extras; the buffers' row mappers map with
  // them. None chosen: the filter's rules alone.
  Extras extras;
};

// One frame's files, '#' runs already replaced by the frame number.
struct FrameJob {
  int frameNumber = 0;
  std::string colorPath;
  std::string idsPath;
  std::string palettizedPath;  // "" when not asked for
  std::string previewPath;     // "" when not asked for
};

enum class JobOutcome { kWritten, kFailed, kInterrupted };

struct JobResult {
  JobOutcome outcome = JobOutcome::kFailed;
  std::string error;    // one line naming the file, for kFailed
  std::string pcxPath;  // the composed PCX name
};

// Bad input is found before the frame driver runs, so it leaves no file.
JobResult RunFrameJob(const RendererConfig& config, const FrameSource& source, const FrameJob& job,
                      RowProgress& progress, FrameBuffers& buffers);

}  // namespace selvo
