#include "cli/exr_io.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <map>
#include <stdexcept>

#include "core/renderer_config.h"

namespace selvo {
namespace {

// How far a stored ID may lie from a whole number and still count as one:
// half-float and filtered passes can carry a little noise, an averaged edge
// pixel (2.5) cannot be trusted.
constexpr double kIdTolerance = 0.01;

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Join(const std::vector<std::string>& names, std::size_t limit = 8) {
  std::string joined;
  for (std::size_t i = 0; i < names.size() && i < limit; ++i)
    joined += (i ? ", " : "") + names[i];
  if (names.size() > limit) joined += ", ...";
  return joined;
}

// A layer prefix ("" or "name.") that has R, G and B.
bool HasRgb(const std::vector<std::string>& names, const std::string& prefix) {
  return Contains(names, prefix + "R") && Contains(names, prefix + "G") &&
         Contains(names, prefix + "B");
}

ExrColorChannels RgbChannels(const std::vector<std::string>& names, const std::string& prefix) {
  return {prefix + "R", prefix + "G", prefix + "B",
          Contains(names, prefix + "A") ? prefix + "A" : ""};
}

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

struct ExrWindow {
  Imath::Box2i box;
  int width = 0;
  int height = 0;
};

// The data window's size, refused when empty or over 65535 pixels, before
// any pixels are read.
std::string CheckWindow(const Imf::Header& header, ExrWindow& window) {
  window.box = header.dataWindow();
  const int64_t width = int64_t(window.box.max.x) - window.box.min.x + 1;
  const int64_t height = int64_t(window.box.max.y) - window.box.min.y + 1;
  if (width < 1 || height < 1) return "the data window is empty";
  if (width > kMaxImageSide || height > kMaxImageSide)
    return std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than 65535 in width or height";
  window.width = int(width);
  window.height = int(height);
  return "";
}

std::vector<std::string> ChannelNames(const Imf::Header& header) {
  std::vector<std::string> names;
  for (auto it = header.channels().begin(); it != header.channels().end(); ++it)
    names.push_back(it.name());
  return names;
}

using Planes = std::map<std::string, std::vector<float>>;

// Reads each named channel once, as FLOAT (a grey image names "Y" for all
// three components, and a frame buffer holds one slice per name).
Planes ReadPlanes(Imf::InputFile& file, const ExrWindow& window,
                  const std::vector<std::string>& channels) {
  Planes planes;
  Imf::FrameBuffer buffer;
  for (const std::string& name : channels) {
    if (planes.count(name)) continue;
    const Imf::Channel* channel = file.header().channels().findChannel(name);
    if (channel->xSampling != 1 || channel->ySampling != 1)
      throw std::runtime_error("channel \"" + name + "\" is subsampled");
    std::vector<float>& plane = planes[name];
    plane.resize(std::size_t(window.width) * window.height);
    buffer.insert(name, Imf::Slice::Make(Imf::FLOAT, plane.data(), window.box, sizeof(float),
                                         sizeof(float) * window.width));
  }
  file.setFrameBuffer(buffer);
  file.readPixels(window.box.min.y, window.box.max.y);
  return planes;
}

// Opens the file and runs `read` on it, turning OpenEXR's exceptions into
// one-line errors that name the file.
template <typename Read>
std::string WithExrFile(const std::string& path, Read read) {
  try {
    Imf::InputFile file(path.c_str());
    const std::string problem = read(file);
    return problem.empty() ? "" : path + ": " + problem;
  } catch (const std::bad_alloc&) {
    return path + ": out of memory";
  } catch (const std::exception& e) {
    return path + ": cannot read EXR (" + OneLine(e.what()) + ")";
  }
}

}  // namespace

std::string FindColorChannels(const std::vector<std::string>& names,
                              const std::string& layer, ExrColorChannels& chosen) {
  if (!layer.empty()) {
    if (!HasRgb(names, layer + ".")) return "no channels " + layer + ".R, .G, .B";
    chosen = RgbChannels(names, layer + ".");
    return "";
  }
  if (HasRgb(names, "")) {
    chosen = RgbChannels(names, "");
    return "";
  }
  if (Contains(names, "Y")) {
    chosen = {"Y", "Y", "Y", Contains(names, "A") ? "A" : ""};
    return "";
  }
  std::vector<std::string> layers, combined;
  for (const std::string& name : names) {
    if (!EndsWith(name, ".R") || !HasRgb(names, name.substr(0, name.size() - 1))) continue;
    const std::string layer = name.substr(0, name.size() - 2);
    layers.push_back(layer);
    if (layer.substr(layer.find_last_of('.') + 1) == "Combined") combined.push_back(layer);
  }
  const std::vector<std::string>& candidates = combined.empty() ? layers : combined;
  if (candidates.size() == 1) {
    chosen = RgbChannels(names, candidates[0] + ".");
    return "";
  }
  if (candidates.empty()) return "no colour channels (R, G, B) among " + Join(names);
  return "several colour layers (" + Join(candidates) + "); choose one with --color-layer";
}

std::string FindIdChannel(const std::vector<std::string>& names, int selector,
                          const std::string& requested, std::string& chosen) {
  if (!requested.empty()) {
    if (!Contains(names, requested)) return "no channel \"" + requested + "\"";
    chosen = requested;
    return "";
  }
  const bool material = selector == kMaterialEffectsSelector;
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
    return std::string("no ") + what + " channel (" + passes[0] + " or " + passes[1] +
           ") among " + Join(names) + "; name one with --id-channel";
  return std::string("several ") + what + " channels (" + Join(found) +
         "); name one with --id-channel";
}

uint16_t ExrLevel(float value, bool linear) {
  double v = value;
  if (!(v > 0)) return 0;  // negative, zero and NaN
  if (v >= 1) return 65535;
  if (!linear) v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  return uint16_t(std::lround(std::min(v, 1.0) * 65535));
}

std::string ReadExrColor(const std::string& path, const ExrColorOptions& options,
                         ColorImage& image) {
  return WithExrFile(path, [&](Imf::InputFile& file) -> std::string {
    ExrWindow window;
    std::string problem = CheckWindow(file.header(), window);
    if (!problem.empty()) return problem;
    ExrColorChannels chosen;
    problem = FindColorChannels(ChannelNames(file.header()), options.layer, chosen);
    if (!problem.empty()) return problem;
    std::vector<std::string> channels = {chosen.r, chosen.g, chosen.b};
    if (!chosen.a.empty()) channels.push_back(chosen.a);
    const Planes planes = ReadPlanes(file, window, channels);
    const std::vector<float>& r = planes.at(chosen.r);
    const std::vector<float>& g = planes.at(chosen.g);
    const std::vector<float>& b = planes.at(chosen.b);
    const std::vector<float>* a = chosen.a.empty() ? nullptr : &planes.at(chosen.a);
    image.width = window.width;
    image.height = window.height;
    image.pixels.assign(r.size(), Pixel64{});
    for (std::size_t p = 0; p < image.pixels.size(); ++p) {
      Pixel64& pixel = image.pixels[p];
      pixel.r = ExrLevel(r[p], options.linear);
      pixel.g = ExrLevel(g[p], options.linear);
      pixel.b = ExrLevel(b[p], options.linear);
      pixel.a = a ? ExrLevel((*a)[p], true) : 65535;  // alpha is never encoded
    }
    return "";
  });
}

std::string ReadExrIds(const std::string& path, int selector,
                       const std::string& requestedChannel, IdImage& image) {
  return WithExrFile(path, [&](Imf::InputFile& file) -> std::string {
    ExrWindow window;
    std::string problem = CheckWindow(file.header(), window);
    if (!problem.empty()) return problem;
    std::string channel;
    problem = FindIdChannel(ChannelNames(file.header()), selector, requestedChannel, channel);
    if (!problem.empty()) return problem;
    const Planes planes = ReadPlanes(file, window, {channel});
    const std::vector<float>& values = planes.at(channel);
    image.width = window.width;
    image.height = window.height;
    image.ids.resize(values.size());
    for (std::size_t p = 0; p < values.size(); ++p) {
      const double v = values[p];
      const double whole = std::floor(v + 0.5);
      const char* fault = nullptr;
      if (!std::isfinite(v) || std::fabs(v - whole) > kIdTolerance) fault = "is not a whole number";
      else if (whole < 0) fault = "is negative";
      else if (whole > 65535) fault = "is above 65535";
      if (fault == nullptr) {
        image.ids[p] = uint16_t(whole);
        continue;
      }
      char message[160];
      std::snprintf(message, sizeof message, "ID %g at pixel (%zu, %zu) %s", v,
                    p % window.width, p / window.width, fault);
      return message + std::string(" (channel \"") + channel + "\")";
    }
    return "";
  });
}

}  // namespace selvo
