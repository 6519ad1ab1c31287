#include "cli/config/extras_config.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

#include "imageio/text.h"

namespace selvo {
namespace {

const char* const kDitherNames[] = {"none", "bayer4", "bayer8"};

std::optional<bool> OnOff(const std::string& value) {
  if (value == "on") return true;
  if (value == "off") return false;
  return std::nullopt;
}

// "ID=REST" with ID 0..15.
std::optional<int> IdBefore(const std::string& value, std::string& rest) {
  const std::size_t equals = value.find('=');
  if (equals == std::string::npos) return std::nullopt;
  rest = value.substr(equals + 1);
  const std::optional<long> id = ParseInteger(value.substr(0, equals), 0, kRangeCount - 1);
  return id ? std::optional<int>(int(*id)) : std::nullopt;
}

std::string SetThreshold(Transparency& transparency, const std::string& value) {
  char* end = nullptr;
  const double threshold = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !(threshold >= 0 && threshold <= 1))
    return "--alpha-threshold " + value + ": expected a number from 0 to 1";
  transparency.alphaThreshold = threshold;
  return "";
}

std::string SetTransparentIndex(Transparency& transparency, const std::string& value) {
  if (value == "from") {
    transparency.index.reset();
    return "";
  }
  const std::optional<long> index = ParseInteger(value, 0, 255);
  if (!index) return "--transparent-index " + value + ": expected 0..255, or from (ID 0's From)";
  transparency.index = uint8_t(*index);
  return "";
}

std::string SetTransparentIds(Transparency& transparency, const std::string& value) {
  std::set<uint16_t> ids;
  for (std::size_t start = 0; value != "none" && start <= value.size();) {
    const std::size_t comma = std::min(value.find(',', start), value.size());
    const std::optional<long> id = ParseInteger(value.substr(start, comma - start), 0, 65535);
    if (!id)
      return "--transparent-ids " + value + ": expected IDs 0..65535 joined by commas, or none";
    ids.insert(uint16_t(*id));
    start = comma + 1;
  }
  transparency.ids.assign(ids.begin(), ids.end());
  return "";
}

std::string SetOutline(Outlines& outlines, const std::string& value) {
  std::string index;
  const std::optional<int> id = IdBefore(value, index);
  const std::optional<long> entry = ParseInteger(index, 0, 255);
  if (!id || (!entry && index != "none"))
    return "--outline " + value + ": expected ID=INDEX or ID=none (ID 0..15, INDEX 0..255)";
  if (entry) outlines.index[*id] = uint8_t(*entry);
  else outlines.index[*id].reset();
  return "";
}

std::string SetOrderedDither(Extras& extras, const std::string& value) {
  std::string name;
  const std::optional<int> id = IdBefore(value, name);
  const auto found = std::find(std::begin(kDitherNames), std::end(kDitherNames), name);
  if (!id || found == std::end(kDitherNames))
    return "--ordered-dither " + value + ": expected ID=none, ID=bayer4 or ID=bayer8 (ID 0..15)";
  extras.dither[*id] = OrderedDither(found - std::begin(kDitherNames));
  return "";
}

std::string Switch(const std::string& option, const std::string& value, bool& to) {
  const std::optional<bool> state = OnOff(value);
  if (!state) return option + " " + value + ": expected on or off";
  to = *state;
  return "";
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string TransparencyLine(const Transparency& transparency) {
  if (!transparency.enabled) return "transparency     off\n";
  const std::string index =
      transparency.index ? "index " + std::to_string(*transparency.index) : "ID 0's From";
  std::string text = "transparency     on: alpha below " + Number(transparency.alphaThreshold) +
                     " takes " + index + "\n";
  if (!transparency.ids.empty()) {
    std::string ids;
    for (uint16_t id : transparency.ids) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
    text += "                 pixels of ID " + ids + " count as alpha 0\n";
  }
  return text;
}

std::string IdLines(const Extras& extras) {
  std::string text;
  for (int id = 0; id < kRangeCount; ++id) {
    const std::optional<uint8_t>& outline = extras.outlines.index[id];
    if (!outline && extras.dither[id] == OrderedDither::kNone) continue;
    char line[80];
    std::snprintf(line, sizeof line, "                 %2d  %7s  %s\n", id,
                  outline ? std::to_string(*outline).c_str() : "none",
                  kDitherNames[int(extras.dither[id])]);
    text += line;
  }
  if (text.empty()) return "IDs              no outline, no ordered dither\n";
  return "IDs              ID  outline  ordered dither\n" + text;
}

}  // namespace

bool IsExtrasDocument(const std::string& path) {
  if (path.size() < 5) return false;
  std::string end = path.substr(path.size() - 5);
  std::transform(end.begin(), end.end(), end.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return end == ".json";
}

std::string FormatExtrasText(const Extras& extras) {
  std::string text = "version          1 (extras document)\n";
  text += extras.matching == ColorMatching::kOklab
              ? "matching         oklab (most similar colour measured in OKLab)\n"
              : "matching         rgb (the filter's own)\n";
  text += TransparencyLine(extras.transparency);
  const Outlines& outlines = extras.outlines;
  text += std::string("outlines         ") + (outlines.eightNeighbours ? "8" : "4") +
          " neighbours, against " +
          (outlines.backgroundOnly ? "ID 0 and transparent pixels only" : "any other ID") + "\n";
  text += IdLines(extras);
  text += AnyExtraChosen(extras) ? "" : "(nothing chosen: frames render as without extras)\n";
  return text;
}

std::string ApplyExtrasSetting(Extras& extras, const std::string& option,
                               const std::string& value) {
  Transparency& transparency = extras.transparency;
  if (option == "--matching") {
    if (value == "rgb") extras.matching = ColorMatching::kRgb;
    else if (value == "oklab") extras.matching = ColorMatching::kOklab;
    else return "--matching " + value + ": expected rgb or oklab";
    return "";
  }
  if (option == "--transparency") return Switch(option, value, transparency.enabled);
  if (option == "--alpha-threshold") return SetThreshold(transparency, value);
  if (option == "--transparent-index") return SetTransparentIndex(transparency, value);
  if (option == "--transparent-ids") return SetTransparentIds(transparency, value);
  if (option == "--outline") return SetOutline(extras.outlines, value);
  if (option == "--neighbours") {
    if (value != "4" && value != "8") return "--neighbours " + value + ": expected 4 or 8";
    extras.outlines.eightNeighbours = value == "8";
    return "";
  }
  if (option == "--background-only") return Switch(option, value, extras.outlines.backgroundOnly);
  if (option == "--ordered-dither") return SetOrderedDither(extras, value);
  return "config set: unknown option " + option + " for an extras document";
}

}  // namespace selvo
