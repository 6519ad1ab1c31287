// What `selvo render` was asked to do, read from its arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/render/sequence.h"

namespace selvo {

struct RenderOptions {
  bool help = false;
  bool demo = false;
  int demoWidth = 0;  // 0: the demo's own size
  int demoHeight = 0;
  std::string color;  // may hold '#' runs
  std::string ids;
  std::string settings;
  std::string extras;                 // the extras' JSON document, or ""
  std::optional<std::string> output;  // overrides the settings' output name
  std::string palettized;
  std::string preview;
  std::optional<int> frame;
  std::optional<FrameRange> frames;
  int jobs = 0;  // 0: one per core
  bool linear = false;
  std::string colorLayer;
  std::string idChannel;
  bool quiet = false;
};

// "" or the usage problem, as one line.
std::string ParseRenderOptions(const std::vector<std::string>& args, RenderOptions& options);

}  // namespace selvo
