// OpenEXR input. Returns "" on success or a one-line error naming the file.
#pragma once

#include <string>
#include <vector>

#include "cli/image.h"

namespace selvo {

struct ExrColorOptions {
  // EXR colour is scene-linear; unless told to take the values as they are,
  // it is encoded with the sRGB transfer function like a display image.
  bool linear = false;
  // The layer holding R, G, B (and A), "" to find it: top-level channels, a
  // single "Combined" layer (Blender's multilayer files), or the only layer.
  std::string layer;
};

// Colour channels chosen by name; a grey image ("Y") repeats one channel.
struct ExrColorChannels {
  std::string r, g, b;
  std::string a;  // empty: alpha reads as 65535
};

// Picks the colour channels among `names`; "" or the problem.
std::string FindColorChannels(const std::vector<std::string>& names,
                              const std::string& layer, ExrColorChannels& chosen);

// Picks the ID channel for the selector (2 material, 4 object) by the names
// renderers give index passes: "<layer>.IndexMA.X" / "<layer>.IndexOB.X"
// and "<layer>.Material Index.X" / "<layer>.Object Index.X". A non-empty
// `requested` names the channel instead. "" or the problem.
std::string FindIdChannel(const std::vector<std::string>& names, int selector,
                          const std::string& requested, std::string& chosen);

// Scene-linear value to a 16-bit level: clamped to 0..1, encoded with the
// sRGB transfer function unless `linear`, scaled to 0..65535 and rounded.
uint16_t ExrLevel(float value, bool linear);

std::string ReadExrColor(const std::string& path, const ExrColorOptions& options,
                         ColorImage& image);

// IDs are read as FLOAT and rounded to the nearest whole number; a negative,
// fractional or non-finite ID, or one above 65535, is an error.
std::string ReadExrIds(const std::string& path, int selector,
                       const std::string& requestedChannel, IdImage& image);

}  // namespace selvo
