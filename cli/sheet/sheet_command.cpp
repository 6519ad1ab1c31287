#include "cli/sheet/sheet_command.h"

#include <cstring>
#include <filesystem>
#include <optional>

#include "cli/sheet/sprite_sheet.h"
#include "cli/terminal/arguments.h"
#include "cli/terminal/help_text.h"
#include "cli/terminal/standard_streams.h"
#include "files/atomic_file.h"
#include "files/same_file.h"
#include "imageio/gif/gif_io.h"
#include "imageio/image.h"
#include "imageio/png/png_io.h"
#include "imageio/text.h"

namespace selvo {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kDefaultFps = 12;
// A GIF counts delays in hundredths of a second, and viewers show delays
// under 2 as 10: 50 frames a second is the fastest a GIF plays.
constexpr int kMaxFps = 50;

struct SheetOptions {
  bool help = false;
  std::vector<std::string> frames;
  std::string sheet;
  std::string data;
  std::string gif;
  int fps = kDefaultFps;
  int columns = 0;  // 0: a near-square grid
  std::optional<uint8_t> transparent;
};

std::string TakeValue(OptionReader& reader, SheetOptions& options) {
  const std::string name = reader.Name();
  const std::optional<std::string> value = reader.Value();
  if (!value) return name + " needs a value";
  if (name == "--sheet") options.sheet = *value;
  else if (name == "--data") options.data = *value;
  else if (name == "--gif") options.gif = *value;
  else if (name == "--fps") {
    const std::optional<long> fps = ParseInteger(*value, 1, kMaxFps);
    if (!fps) return "--fps " + *value + ": expected 1.." + std::to_string(kMaxFps);
    options.fps = int(*fps);
  } else if (name == "--columns") {
    const std::optional<long> columns = ParseInteger(*value, 1, 65535);
    if (!columns) return "--columns " + *value + ": expected 1..65535";
    options.columns = int(*columns);
  } else if (name == "--transparent") {
    const std::optional<long> index = ParseInteger(*value, 0, 255);
    if (!index) return "--transparent " + *value + ": expected a palette index 0..255";
    options.transparent = uint8_t(*index);
  }
  return "";
}

std::string ParseSheetOptions(const std::vector<std::string>& args, SheetOptions& options) {
  OptionReader reader(args);
  while (reader.Next()) {
    const std::string& name = reader.Name();
    if (name == "-h" || name == "--help") {
      options.help = true;
      return "";
    }
    std::string problem;
    if (name == "--sheet" || name == "--data" || name == "--gif" || name == "--fps" ||
        name == "--columns" || name == "--transparent")
      problem = TakeValue(reader, options);
    else if (reader.IsOption()) problem = "unknown argument " + name;
    else options.frames.push_back(name);
    if (!problem.empty()) return problem;
  }
  if (options.frames.empty()) return "give the PCX frames to put together";
  if (!options.data.empty() && options.sheet.empty())
    return "--data describes a sheet: give --sheet too";
  if (options.sheet.empty() && options.gif.empty())
    return "give --sheet OUT.png, --gif OUT.gif or both";
  return "";
}

// "" when no output is one of the frames or another output.
std::string CheckOutputs(const SheetOptions& options) {
  const std::pair<const char*, const std::string*> outputs[] = {
      {"--sheet", &options.sheet}, {"--data", &options.data}, {"--gif", &options.gif}};
  for (std::size_t o = 0; o < std::size(outputs); ++o) {
    const std::string& path = *outputs[o].second;
    if (path.empty()) continue;
    for (const std::string& frame : options.frames)
      if (SameFile(path, frame))
        return Printable(path) + " (" + outputs[o].first + ") is the frame " + Printable(frame) +
               "; nothing was written";
    for (std::size_t other = 0; other < o; ++other)
      if (!outputs[other].second->empty() && SameFile(path, *outputs[other].second))
        return Printable(path) + " (" + outputs[o].first + ") is the same file as " +
               outputs[other].first + "; nothing was written";
  }
  return "";
}

// Reads every frame; "" when all carry the first one's palette.
std::string ReadFrames(const std::vector<std::string>& paths, std::vector<PcxImage>& frames) {
  frames.resize(paths.size());
  for (std::size_t f = 0; f < paths.size(); ++f) {
    const std::string error = ReadPcxImage(paths[f], frames[f]);
    if (!error.empty()) return error;
    if (std::memcmp(frames[f].palette, frames[0].palette, sizeof frames[0].palette) != 0)
      return Printable(paths[f]) + ": its palette differs from that of " + Printable(paths[0]) +
             "; the frames of a sheet share one palette";
  }
  return "";
}

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// The sheet's name as the JSON's folder reaches it.
std::string ImageRelativeToData(const std::string& sheet, const std::string& data) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path image = fs::absolute(sheet, error).lexically_normal();
  const fs::path folder = fs::absolute(data, error).lexically_normal().parent_path();
  const fs::path relative = image.lexically_relative(folder);
  return (relative.empty() ? image : relative).generic_string();
}

// "" when the sheet fits a PNG this command writes and its JSON can name
// every frame by its file name; else the problem, before anything is
// written.
std::string CheckSheet(const SheetOptions& options, const SheetLayout& layout) {
  if (layout.Width() > kMaxImageSide || layout.Height() > kMaxImageSide)
    return Printable(options.sheet) + ": a sheet of " + std::to_string(layout.Width()) + " x " +
           std::to_string(layout.Height()) + " pixels is too large; choose --columns";
  for (std::size_t f = 0; !options.data.empty() && f < options.frames.size(); ++f)
    for (std::size_t earlier = 0; earlier < f; ++earlier)
      if (FileName(options.frames[earlier]) == FileName(options.frames[f]))
        return Printable(options.frames[f]) + ": a second frame named " +
               Printable(FileName(options.frames[f])) +
               "; the sheet's JSON names each frame by its file name";
  return "";
}

std::string WriteData(const SheetOptions& options, const std::vector<PcxImage>& frames,
                      const SheetLayout& layout) {
  const std::vector<int> durations = FrameDurations(int(frames.size()), options.fps, 1000);
  std::vector<SheetEntry> entries;
  for (std::size_t f = 0; f < frames.size(); ++f)
    entries.push_back(SheetEntry{FileName(options.frames[f]), layout.CellX(int(f)),
                                 layout.CellY(int(f)), frames[f].width, frames[f].height,
                                 durations[f]});
  const std::string json = SheetJson(entries, ImageRelativeToData(options.sheet, options.data),
                                     layout.Width(), layout.Height());
  return WriteFileAtomically(options.data, [&](std::FILE* file) -> std::string {
    if (std::fwrite(json.data(), 1, json.size(), file) != json.size())
      return std::string("cannot write file: ") + std::strerror(errno);
    return "";
  });
}

std::string WriteSheet(const SheetOptions& options, const std::vector<PcxImage>& frames,
                       const SheetLayout& layout) {
  std::vector<const PcxImage*> all;
  for (const PcxImage& frame : frames) all.push_back(&frame);
  const std::vector<uint8_t> sheet = ComposeSheet(all, layout, options.transparent.value_or(0));
  const std::string error =
      WritePngIndexed(options.sheet, sheet.data(), layout.Width(), layout.Height(),
                      frames[0].palette, options.transparent);
  if (!error.empty() || options.data.empty()) return error;
  return WriteData(options, frames, layout);
}

// Every frame padded to the largest, as a cell of the sheet.
std::string WriteGif(const SheetOptions& options, const std::vector<PcxImage>& frames) {
  SheetLayout cell = LayOutSheet(frames, 1);
  cell.rows = 1;
  std::vector<std::vector<uint8_t>> padded;
  GifAnimation animation;
  animation.width = cell.cellWidth;
  animation.height = cell.cellHeight;
  animation.palette = frames[0].palette;
  animation.transparent = options.transparent;
  animation.delays = FrameDurations(int(frames.size()), options.fps, 100);
  for (const PcxImage& frame : frames)
    padded.push_back(ComposeSheet({&frame}, cell, options.transparent.value_or(0)));
  for (const std::vector<uint8_t>& frame : padded) animation.frames.push_back(frame.data());
  return WriteGifAnimation(options.gif, animation);
}

}  // namespace

int RunSheetCommand(const std::vector<std::string>& args) {
  SheetOptions options;
  const std::string usage = ParseSheetOptions(args, options);
  if (!usage.empty()) {
    PrintError("sheet: " + usage);
    std::fputs("Try 'selvo sheet --help'.\n", stderr);
    return kExitUsage;
  }
  if (options.help) {
    WriteText(stdout, kSheetHelp);
    return 0;
  }
  std::vector<PcxImage> frames;
  std::string error = CheckOutputs(options);
  if (error.empty()) error = ReadFrames(options.frames, frames);
  const SheetLayout layout = LayOutSheet(frames, options.columns);
  if (error.empty() && !options.sheet.empty()) error = CheckSheet(options, layout);
  if (error.empty() && !options.sheet.empty()) error = WriteSheet(options, frames, layout);
  if (error.empty() && !options.gif.empty()) error = WriteGif(options, frames);
  if (!error.empty()) {
    PrintError(error);
    return kExitFailure;
  }
  return 0;
}

}  // namespace selvo
