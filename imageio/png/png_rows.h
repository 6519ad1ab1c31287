// What a PNG decoder hands on: rows of whole-byte samples, and the image
// they are for. Both decoders (libpng, and the plain one for the files
// renderers write) deliver through this, so their images are built alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace selvo {

// Colour images turn into 16-bit levels; ID images must be greyscale.
enum class PngUse { kColor, kIds };

// Decoded samples as the rows deliver them: whole bytes per sample, 16-bit
// samples big-endian.
struct PngSampleLayout {
  int width = 0;
  int height = 0;
  int channels = 0;
  int bytesPerSample = 0;
  std::size_t PixelBytes() const { return std::size_t(channels) * bytesPerSample; }
  std::size_t RowBytes() const { return PixelBytes() * std::size_t(width); }
};

// Receives a decoded image row by row from the top. The image it builds
// grows with the rows, so a file whose data ends early never claims the
// memory its header promised. Start may come twice: a decoder that gives
// up part-way leaves the file to the other, which starts the image afresh.
class PngRowSink {
 public:
  virtual ~PngRowSink() = default;
  virtual void Start(const PngSampleLayout& layout) = 0;
  virtual void Row(const uint8_t* samples) = 0;
};

// zlib's largest expansion: one 258-byte match coded in two bits. Rows that
// even the densest data could not fill are refused before any are read.
constexpr uint64_t kMaxDeflateRatio = 1032;

}  // namespace selvo
