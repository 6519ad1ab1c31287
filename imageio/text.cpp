#include "imageio/text.h"

#include <charconv>
#include <cstdio>

namespace selvo {
namespace {

// Length of the well-formed, printable UTF-8 character starting at `at`
// (1 for printable ASCII), or 0 when the byte there must be escaped.
std::size_t PrintableCharacterLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead >= 0x20 && lead < 0x7F) return 1;
  // The second byte's range depends on the lead: it excludes overlong
  // forms, UTF-16 surrogates, code points past U+10FFFF and C1 controls.
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xC2) length = 2, low = 0xA0;
  else if (lead > 0xC2 && lead <= 0xDF) length = 2;
  else if (lead == 0xE0) length = 3, low = 0xA0;
  else if (lead == 0xED) length = 3, high = 0x9F;
  else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
  else if (lead == 0xF0) length = 4, low = 0x90;
  else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
  else if (lead == 0xF4) length = 4, high = 0x8F;
  if (length == 0 || at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = PrintableCharacterLength(text, at);
    if (length > 0) {
      out += text.substr(at, length);
      at += length;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at]));
    out += escaped;
    ++at;
  }
  return out;
}

std::optional<long> ParseInteger(const std::string& text, long min, long max) {
  long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < min || value > max)
    return std::nullopt;
  return value;
}

}  // namespace selvo
