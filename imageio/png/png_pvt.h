// Shared by the PNG reader, writer and plain decoder, and private to them.
// What a PNG decoder hands on: rows of whole-byte samples, and the image
// they are for. Both decoders (libpng, and the plain one for the files
// renderers write) deliver through this, so their images are built alike.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

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

// The fuzz build lets both decoders take chunks whose CRC, and image data
// whose Adler-32, do not match, as libpng's own fuzz target does, so that
// mutations reach the inflater instead of failing on a checksum.
#if defined(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
constexpr bool kVerifyChecksums = false;
#else
constexpr bool kVerifyChecksums = true;
#endif

// zlib's largest expansion: one 258-byte match coded in two bits. Rows that
// even the densest data could not fill are refused before any are read.
constexpr uint64_t kMaxDeflateRatio = 1032;

// The plain PNG files renderers write, decoded about twice as fast as
// libpng does: 8 or 16 bits per sample, grey, grey with alpha, RGB or RGBA,
// not interlaced, no transparency chunk. ISA-L inflates the image data (and
// checks its CRCs) far faster than zlib on the large, poorly compressible
// data of 16-bit frames.
//
// Anything else, and any file that is damaged in any way, is declined:
// libpng then decodes it, so what is accepted, and every error message,
// stays libpng's.
//
// Decodes `file` (`fileSize` bytes, read from its start) into `sink` when
// it is a plain PNG that is whole and sound; true then. False when it
// declines the file, possibly after delivering some rows.
bool DecodePlainPng(std::FILE* file, uint64_t fileSize, PngUse use, PngRowSink& sink);

// One libpng run's file and what went wrong in it. libpng reports errors
// through callbacks that must not return: they leave the reason here and
// jump back to the setjmp of the running call.
struct PngIo {
  std::FILE* file = nullptr;
  uint64_t bytesRead = 0;
  bool ended = false;   // the file ended before the image did
  int systemError = 0;  // errno of a failed read or write
  char message[200] = "";
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp text);
void OnPngWarning(png_structp png, png_const_charp text);

}  // namespace selvo
