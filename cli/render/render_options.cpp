#include "cli/render/render_options.h"

#include <climits>

#include "cli/terminal/arguments.h"
#include "imageio/text.h"

namespace selvo {
namespace {

constexpr int kMaxJobs = 64;

std::string ParseSize(const std::string& text, RenderOptions& options) {
  const std::size_t x = text.find('x');
  const std::optional<long> width = ParseInteger(text.substr(0, x), 1, 65535);
  const std::optional<long> height =
      x == std::string::npos ? std::nullopt : ParseInteger(text.substr(x + 1), 1, 65535);
  if (!width || !height) return "--size " + text + ": expected WIDTHxHEIGHT, each 1..65535";
  options.demoWidth = int(*width);
  options.demoHeight = int(*height);
  return "";
}

// Takes the value of an option that has one; "" or the problem.
std::string TakeValue(OptionReader& reader, RenderOptions& options) {
  const std::string name = reader.Name();
  std::optional<std::string> value = reader.Value();
  if (!value) return name + " needs a value";
  if (name == "--color") options.color = *value;
  else if (name == "--ids") options.ids = *value;
  else if (name == "--settings") options.settings = *value;
  else if (name == "--extras") options.extras = *value;
  else if (name == "--output") options.output = *value;
  else if (name == "--palettized") options.palettized = *value;
  else if (name == "--preview") options.preview = *value;
  else if (name == "--color-layer") options.colorLayer = *value;
  else if (name == "--id-channel") options.idChannel = *value;
  else if (name == "--size") return ParseSize(*value, options);
  else if (name == "--frame") {
    const std::optional<long> frame = ParseInteger(*value, INT_MIN, INT_MAX);
    if (!frame) return "--frame " + *value + ": expected a whole number";
    options.frame = int(*frame);
  } else if (name == "--frames") {
    options.frames = ParseFrameRange(*value);
    if (!options.frames) return "--frames " + *value + ": expected A-B with A <= B";
  } else if (name == "-j" || name == "--jobs") {
    const std::optional<long> jobs = ParseInteger(*value, 1, kMaxJobs);
    if (!jobs) return name + " " + *value + ": expected 1.." + std::to_string(kMaxJobs);
    options.jobs = int(*jobs);
  }
  return "";
}

bool TakesValue(const std::string& name) {
  static const char* const kValued[] = {
      "--color",   "--ids",         "--settings",   "--extras", "--output", "--palettized",
      "--preview", "--color-layer", "--id-channel", "--size",   "--frame",  "--frames",
      "-j",        "--jobs"};
  for (const char* option : kValued)
    if (name == option) return true;
  return false;
}

// Combinations that cannot work, caught before anything is read.
std::string CheckCombination(const RenderOptions& options) {
  if (options.demo && (!options.color.empty() || !options.ids.empty()))
    return "--demo renders its own scene: leave out --color and --ids";
  if (!options.demo && (options.color.empty() || options.ids.empty()))
    return "give --color and --ids, or --demo";
  if (!options.demo && options.demoWidth != 0) return "--size applies to --demo only";
  if (options.frame && options.frames) return "give --frame or --frames, not both";
  const bool several = options.frames && options.frames->Count() > 1;
  if (several && !options.palettized.empty() && !HasFramePlaceholder(options.palettized))
    return "--palettized needs a # run for the frame number when rendering several frames";
  if (several && !options.preview.empty() && !HasFramePlaceholder(options.preview))
    return "--preview needs a # run for the frame number when rendering several frames";
  return "";
}

}  // namespace

std::string ParseRenderOptions(const std::vector<std::string>& args, RenderOptions& options) {
  OptionReader reader(args);
  while (reader.Next()) {
    const std::string& name = reader.Name();
    if (name == "-h" || name == "--help") {
      options.help = true;
      return "";
    }
    std::string problem;
    if (TakesValue(name)) problem = TakeValue(reader, options);
    else if (reader.HasInlineValue()) problem = name + " takes no value";
    else if (name == "--demo") options.demo = true;
    else if (name == "--linear") options.linear = true;
    else if (name == "--quiet" || name == "-q") options.quiet = true;
    else problem = "unknown argument " + name;
    if (!problem.empty()) return problem;
  }
  return CheckCombination(options);
}

}  // namespace selvo
