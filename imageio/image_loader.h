// Loading a frame's inputs from PNG or OpenEXR files, told apart by their
// first bytes rather than their names, and whether they belong together.
// Each returns "" on success or a one-line error naming the file; nothing
// here exits or prints.
#pragma once

#include <string>

#include "imageio/exr/exr_io.h"
#include "imageio/image.h"

namespace selvo {

std::string LoadColorImage(const std::string& path, const ExrColorOptions& options,
                           ColorImage& image);

// The EXR index pass of `channel` unless `exrChannel` names a channel; a
// PNG ID image is a greyscale image of the IDs.
std::string LoadIdImage(const std::string& path, IdChannel channel, const std::string& exrChannel,
                        IdImage& image);

// Both images of a frame. When both come from one EXR file (a multilayer
// render), the file is opened once and its pixels are decoded once.
std::string LoadFrameImages(const std::string& colorPath, const ExrColorOptions& options,
                            const std::string& idsPath, IdChannel channel,
                            const std::string& exrChannel, ColorImage& color, IdImage& ids);

// "" when every ID fits `channel`, else an error naming `source` and the
// first ID that does not (the material effects channel holds 0..255).
std::string CheckIdsFit(const IdImage& ids, IdChannel channel, const std::string& source);

// "" when colour and IDs have the same size, else an error naming both.
std::string CheckSameSize(const ColorImage& color, const std::string& colorSource,
                          const IdImage& ids, const std::string& idSource);

}  // namespace selvo
