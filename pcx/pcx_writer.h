// Writing an index image with its palette as an 8-bit, run-length-encoded
// PCX file (version 5, one plane, 256-colour trailer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace selvo {

constexpr std::size_t kPcxHeaderSize = 128;
constexpr std::size_t kPcxTrailerSize = 769;  // 0x0C + 768 palette bytes
constexpr uint8_t kPcxPaletteMarker = 0x0C;

// Where encoded bytes go; false reports a failed write.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const uint8_t* data, std::size_t size) = 0;
};

// Encodes header, scanlines and trailer into `sink`. W and H must lie in
// 1..65535; false when they do not or the sink fails.
bool EncodePcx(ByteSink& sink, const uint8_t* indices, int width, int height,
               const uint8_t* palette);

std::vector<uint8_t> EncodePcxToMemory(const uint8_t* indices, int width, int height,
                                       const uint8_t* palette);

// The command line's way: saves the file at `path`, replacing any file
// there. The bytes go to a
// temporary file beside it that is renamed into place once complete, so a
// failed write never leaves a truncated file under the real name. Returns
// "" or a one-line error naming `path` and the system's reason.
std::string WritePcx(const std::string& path, const uint8_t* indices, int width, int height,
                     const uint8_t* palette);

// The filter module's way: writes `path` itself, in place, as hosts have
// always seen the module do, and removes the partial file when a write fails
// part-way. A temporary name beside the target would lengthen the path past
// the 260 characters Windows allows for the longest names the settings
// accept, break drive-relative names ("C:frames.pcx"), need create rights in
// the folder and fail to replace a frame an image viewer holds open. Same
// result as WritePcx.
std::string WritePcxInPlace(const std::string& path, const uint8_t* indices, int width, int height,
                            const uint8_t* palette);

}  // namespace selvo
