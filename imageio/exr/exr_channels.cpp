// Choosing the colour and ID channels among a file's channel names.
#include <algorithm>

#include "core/renderer_config.h"
#include "imageio/exr/exr_io.h"
#include "imageio/exr/exr_pvt.h"
#include "imageio/text.h"

namespace selvo {
namespace {

using exr::Join;

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A layer prefix ("" or "name.") that has R, G and B.
bool HasRgb(const std::vector<std::string>& names, const std::string& prefix) {
  return Contains(names, prefix + "R") && Contains(names, prefix + "G") &&
         Contains(names, prefix + "B");
}

// A layer prefix with luminance and chroma, as cameras and some pipelines
// store colour: Y with RY and BY at a lower resolution.
bool HasLumaChroma(const std::vector<std::string>& names, const std::string& prefix) {
  return Contains(names, prefix + "Y") &&
         (Contains(names, prefix + "RY") || Contains(names, prefix + "BY"));
}

std::string AlphaOf(const std::vector<std::string>& names, const std::string& prefix) {
  return Contains(names, prefix + "A") ? prefix + "A" : "";
}

// The colour of one layer prefix: R, G, B first, then luminance/chroma, and
// a grey Y when `grey`; false when the layer has none of them.
bool ColorOfLayer(const std::vector<std::string>& names, const std::string& prefix, bool grey,
                  ExrColorChannels& chosen) {
  if (HasRgb(names, prefix)) {
    chosen = {prefix + "R", prefix + "G", prefix + "B", AlphaOf(names, prefix), false, prefix};
  } else if (HasLumaChroma(names, prefix)) {
    chosen = {"", "", "", AlphaOf(names, prefix), true, prefix};
  } else if (grey && Contains(names, prefix + "Y")) {
    chosen = {prefix + "Y", prefix + "Y", prefix + "Y", AlphaOf(names, prefix), false, prefix};
  } else {
    return false;
  }
  return true;
}

// The layers that `hasColor` accepts, found by a channel each must have;
// only the "Combined" ones (Blender's) when there are any.
std::vector<std::string> ColorLayers(const std::vector<std::string>& names,
                                     const std::string& channel,
                                     bool (*hasColor)(const std::vector<std::string>&,
                                                      const std::string&)) {
  std::vector<std::string> layers, combined;
  for (const std::string& name : names) {
    if (!EndsWith(name, channel)) continue;
    const std::string layer = name.substr(0, name.size() - channel.size());
    if (!hasColor(names, layer + ".")) continue;
    layers.push_back(layer);
    if (layer.substr(layer.find_last_of('.') + 1) == "Combined") combined.push_back(layer);
  }
  return combined.empty() ? layers : combined;
}

}  // namespace

std::string exr::Join(const std::vector<std::string>& names, std::size_t limit) {
  std::string joined;
  for (std::size_t i = 0; i < names.size() && i < limit; ++i)
    joined += (i ? ", " : "") + Printable(names[i]);
  if (names.size() > limit) joined += ", ...";
  return joined;
}

std::string FindColorChannels(const std::vector<std::string>& names, const std::string& layer,
                              ExrColorChannels& chosen) {
  if (!layer.empty()) {
    if (ColorOfLayer(names, layer + ".", /*grey=*/true, chosen)) return "";
    return "no channels " + Printable(layer) + ".R, .G, .B";
  }
  if (ColorOfLayer(names, "", /*grey=*/true, chosen)) return "";
  // Layers with R, G and B; failing those, layers with luminance/chroma. A
  // layer of Y alone is more often a mask than a picture, and is never
  // guessed to be the colour.
  std::vector<std::string> candidates = ColorLayers(names, ".R", HasRgb);
  if (candidates.empty()) candidates = ColorLayers(names, ".Y", HasLumaChroma);
  if (candidates.size() == 1) return FindColorChannels(names, candidates[0], chosen);
  if (candidates.empty()) return "no colour channels (R, G, B) among " + Join(names);
  return "several colour layers (" + Join(candidates) + "); choose one with --color-layer";
}

std::string FindIdChannel(const std::vector<std::string>& names, IdChannel channel,
                          const std::string& requested, std::string& chosen) {
  if (!requested.empty()) {
    if (!Contains(names, requested)) return "no channel \"" + Printable(requested) + "\"";
    chosen = requested;
    return "";
  }
  const bool material = channel == IdChannel::kMaterialEffects;
  const std::string passes[2] = {material ? "IndexMA.X" : "IndexOB.X",
                                 material ? "Material Index.X" : "Object Index.X"};
  std::vector<std::string> found;
  for (const std::string& name : names) {
    for (const std::string& pass : passes)
      if (name == pass || EndsWith(name, "." + pass)) found.push_back(name);
  }
  const char* what = material ? "material-index" : "object-index";
  if (found.size() == 1) {
    chosen = found[0];
    return "";
  }
  if (found.empty())
    return std::string("no ") + what + " channel (" + passes[0] + " or " + passes[1] + ") among " +
           Join(names) + "; name one with --id-channel";
  return std::string("several ") + what + " channels (" + Join(found) +
         "); name one with --id-channel";
}

}  // namespace selvo
