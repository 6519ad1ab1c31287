#include "cli/sheet/sprite_sheet.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>

#include "selvo_version.h"

namespace selvo {

SheetLayout LayOutSheet(const std::vector<PcxImage>& frames, int columns) {
  SheetLayout layout;
  const int count = std::max(1, int(frames.size()));
  if (columns <= 0)
    while (columns * columns < count) ++columns;
  layout.columns = std::min(columns, count);
  layout.rows = (count + layout.columns - 1) / layout.columns;
  for (const PcxImage& frame : frames) {
    layout.cellWidth = std::max(layout.cellWidth, frame.width);
    layout.cellHeight = std::max(layout.cellHeight, frame.height);
  }
  return layout;
}

std::vector<uint8_t> ComposeSheet(const std::vector<const PcxImage*>& frames,
                                  const SheetLayout& layout, uint8_t fill) {
  const std::size_t width = std::size_t(layout.Width());
  std::vector<uint8_t> sheet(width * std::size_t(layout.Height()), fill);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const PcxImage& frame = *frames[f];
    uint8_t* cell = sheet.data() + std::size_t(layout.CellY(int(f))) * width + layout.CellX(int(f));
    for (int y = 0; y < frame.height; ++y)
      std::memcpy(cell + std::size_t(y) * width,
                  frame.indices.data() + std::size_t(y) * frame.width, std::size_t(frame.width));
  }
  return sheet;
}

std::vector<int> FrameDurations(int count, int fps, int perSecond) {
  // round(k x perSecond / fps), halves up, in integers.
  const auto end = [&](long long k) { return (2 * k * perSecond + fps) / (2LL * fps); };
  std::vector<int> durations;
  for (int k = 0; k < count; ++k) durations.push_back(int(end(k + 1) - end(k)));
  return durations;
}

std::string SheetJson(const std::vector<SheetEntry>& entries, const std::string& image, int width,
                      int height) {
  using nlohmann::ordered_json;
  const auto size = [](int w, int h) { return ordered_json{{"w", w}, {"h", h}}; };
  const auto rect = [](int x, int y, int w, int h) {
    return ordered_json{{"x", x}, {"y", y}, {"w", w}, {"h", h}};
  };
  ordered_json document;
  ordered_json& frames = document["frames"] = ordered_json::object();
  for (const SheetEntry& entry : entries)
    frames[entry.name] = {{"frame", rect(entry.x, entry.y, entry.width, entry.height)},
                          {"rotated", false},
                          {"trimmed", false},
                          {"spriteSourceSize", rect(0, 0, entry.width, entry.height)},
                          {"sourceSize", size(entry.width, entry.height)},
                          {"duration", entry.durationMs}};
  document["meta"] = {{"app", "selvo"}, {"version", SELVO_VERSION},    {"image", image},
                      {"format", "I8"}, {"size", size(width, height)}, {"scale", "1"}};
  return document.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace selvo
