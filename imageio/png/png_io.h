// PNG input and output through libpng. Every function returns "" on success
// or a one-line error that names the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imageio/image.h"

namespace selvo {

// Which decoder reads a PNG. By default the plain files renderers write go
// to a fast decoder of their own and every other file to libpng; the other
// choices let the two be compared.
enum class PngDecoder {
  kAny,
  kLibpng,     // libpng alone
  kPlainOnly,  // the plain decoder alone: any other file fails
};

// Grey, grey+alpha, RGB, RGBA or palette PNG at any bit depth. An 8-bit
// value v becomes v * 257 so that 255 reaches 65535; without alpha (or tRNS)
// alpha reads as 65535.
std::string ReadPngColor(const std::string& path, ColorImage& image,
                         PngDecoder decoder = PngDecoder::kAny);

// A greyscale PNG (1 to 16 bits) whose values are the IDs, unscaled.
std::string ReadPngIds(const std::string& path, IdImage& image,
                       PngDecoder decoder = PngDecoder::kAny);

// The written-back frame, alpha included, as 16-bit RGBA.
std::string WritePngRgba16(const std::string& path, const ColorImage& image);

// The index image as an 8-bit palette PNG with all 256 entries, so that any
// viewer shows what the PCX file holds. A transparent index is marked in a
// tRNS chunk of index + 1 entries: 0 at the index, 255 before it.
std::string WritePngIndexed(const std::string& path, const uint8_t* indices, int width, int height,
                            const uint8_t palette[768],
                            std::optional<uint8_t> transparent = std::nullopt);

// The palette side of a PNG, from its header and PLTE chunk alone (no pixels
// are read): an indexed image's entries (R, G, B each, in order), or for any
// other image only its size.
struct PngPaletteInfo {
  bool indexed = false;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> entries;
};
std::string ReadPngPalette(const std::string& path, PngPaletteInfo& info);

}  // namespace selvo
