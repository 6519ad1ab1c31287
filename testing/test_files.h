// Test inputs written with libpng and OpenEXR directly (not through the
// code under test).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <ImathBox.h>
#include <ImfPixelType.h>

#include "testing/scratch_dir.h"

namespace selvo::test {

// How WritePng lays out a file, beyond libpng's defaults: one filter for
// every row (a PNG_FILTER_* flag; 0 lets libpng choose per row), image data
// in chunks of `idatBytes` (0: libpng's 8 KB), text chunks before and after
// the image data.
struct PngLayout {
  int filter = 0;
  std::size_t idatBytes = 0;
  bool textChunks = false;
};

// `samples` holds width x height x channels values of the bit depth, row by
// row; colorType is a PNG_COLOR_TYPE_*; `palette` (R, G, B bytes) only for
// palette images.
void WritePng(const std::string& path, int width, int height, int colorType, int bitDepth,
              const std::vector<uint16_t>& samples, const std::vector<uint8_t>& palette = {},
              bool interlaced = false, const PngLayout& layout = {});

struct ExrChannel {
  std::string name;
  Imf::PixelType type;
  std::vector<float> values;  // width x height, row by row
};

// A scanline EXR whose data window, also its display window, starts at
// (originX, originY).
void WriteExr(const std::string& path, int width, int height,
              const std::vector<ExrChannel>& channels, int originX = 0, int originY = 0);

// One part of an EXR file. Channel values cover the data window row by row;
// a deep part stores one sample in every pixel. ZIP compression, 16 rows a
// block, unless tiled or deep.
struct ExrPart {
  std::string name;  // "" only in a file of one part
  Imath::Box2i display;
  Imath::Box2i data;
  std::vector<ExrChannel> channels;
  bool deep = false;
  int tile = 0;  // square tiles of this side, 0 for scanlines
};

// A single-part file for one flat part, else a multi-part file.
void WriteExrParts(const std::string& path, const std::vector<ExrPart>& parts);

// A luminance/chroma file (Y, RY, BY at half resolution, A) written by
// OpenEXR's RGBA interface from RGBA values (four per pixel, row by row).
// Chroma is stored per 2 x 2 pixels, so width and height are even.
void WriteLumaChromaExr(const std::string& path, int width, int height,
                        const std::vector<float>& rgba);

}  // namespace selvo::test
