// Taking over the 256-colour palette of an existing PCX file.
#pragma once

#include <cstdint>
#include <string>

namespace selvo {

// Copies the file's last 768 bytes into `destination` without validating
// anything else; false, with `destination` untouched, when the file cannot
// be opened or is shorter than 768 bytes.
bool ReadPcxPalette(const std::string& path, uint8_t destination[768]);

// Whether the file really carries a 256-colour trailer: a version-5, 8-bit,
// one-plane header and 0x0C at 769 bytes from the end. Many PCX files
// (24-bit, 16-colour) have none and their last 768 bytes are pixels.
bool HasPaletteTrailer(const std::string& path);

}  // namespace selvo
