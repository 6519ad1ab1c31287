// Shared by the palette formats' readers and writers, and private to them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace selvo::palette_text {

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The text files of the GIMP, JASC-PAL and hex-list formats for all 256
// entries; GIMP's names the palette `name`.
std::string GimpText(const std::string& name, const uint8_t palette[768]);
std::string JascText(const uint8_t palette[768]);
std::string HexText(const uint8_t palette[768]);

// Whether `text` reads as a hex list, whatever the file's name.
bool LooksLikeHexList(std::string_view text);

}  // namespace selvo::palette_text
