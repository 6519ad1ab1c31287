// OpenEXR input. Returns "" on success or a one-line error naming the file.
//
// An EXR frame is its display window: pixels stored outside it are dropped,
// and the parts of it the data window does not cover read as black with
// alpha 0 and ID 0. In a file of several parts, a channel's name is its
// part's name, a dot, and its name within the part ("left.R").
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "core/renderer_config.h"
#include "imageio/image.h"

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
  // Luminance/chroma (Y with RY and BY): this prefix ("" or "layer.") is
  // converted to RGB by OpenEXR's RGBA interface, r, g and b stay empty.
  bool lumaChroma = false;
  std::string prefix;
};

// Picks the colour channels among `names`; "" or the problem.
std::string FindColorChannels(const std::vector<std::string>& names, const std::string& layer,
                              ExrColorChannels& chosen);

// Picks the index pass of `channel` by the names renderers give them:
// "<layer>.IndexMA.X" / "<layer>.IndexOB.X" and "<layer>.Material Index.X" /
// "<layer>.Object Index.X". A non-empty `requested` names the channel
// instead. "" or the problem.
std::string FindIdChannel(const std::vector<std::string>& names, IdChannel channel,
                          const std::string& requested, std::string& chosen);

// What to read from one file: the colour, the IDs, or both in one pass over
// its pixel blocks. IDs are read as FLOAT and rounded to the nearest whole
// number; a negative, fractional or non-finite ID, or one above 65535, is an
// error.
struct ExrRequest {
  const ExrColorOptions* color = nullptr;  // colour is read when set
  ColorImage* colorImage = nullptr;
  IdChannel idChannel = IdChannel::kObject;  // whose index pass holds the IDs,
  std::string idChannelName;                 // unless this names a channel
  IdImage* idImage = nullptr;                // IDs are read when set
};

// Reads from `file`, opened on `path` and positioned anywhere; the file is
// not opened again.
std::string ReadExr(const std::string& path, std::ifstream& file, const ExrRequest& request);

// Threads OpenEXR decompresses blocks with, shared by every file read at
// the same time; 0 decompresses on the reading thread. Results never depend
// on it.
void SetExrDecodeThreads(int threads);

}  // namespace selvo
