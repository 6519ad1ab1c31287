// The PNG files renderers write, decoded about twice as fast as libpng
// does: 8 or 16 bits per sample, grey, grey with alpha, RGB or RGBA, not
// interlaced, no transparency chunk. ISA-L inflates the image data (and
// checks its CRCs) far faster than zlib on the large, poorly compressible
// data of 16-bit frames.
//
// Anything else, and any file that is damaged in any way, is declined:
// libpng then decodes it, so what is accepted, and every error message,
// stays libpng's.
#pragma once

#include <cstdint>
#include <cstdio>

#include "imageio/png/png_rows.h"

namespace selvo {

// Decodes `file` (`fileSize` bytes, read from its start) into `sink` when
// it is a plain PNG that is whole and sound; true then. False when it
// declines the file, possibly after delivering some rows.
bool DecodePlainPng(std::FILE* file, uint64_t fileSize, PngUse use, PngRowSink& sink);

}  // namespace selvo
