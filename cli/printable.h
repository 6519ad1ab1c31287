// Names taken from input files (EXR channel names, a settings block's output
// name) can hold any bytes. Quoted in a message, a newline would break the
// one-line error and an escape sequence would reach the terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace selvo {

// `text` with every control character written as \xNN; other bytes, UTF-8
// included, stay as they are.
inline std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
  }
  return out;
}

}  // namespace selvo
