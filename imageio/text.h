// Text taken from files and from the command line: names shown safely, and
// decimal numbers read strictly.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace selvo {

// Names taken from input files (EXR channel names, a settings block's output
// name) can hold any bytes. Quoted in a message or shown by `config show`, a
// newline would break the line and an escape sequence would reach the
// terminal; this is the one rule for showing such text.
//
// `text` with every byte that is not printable text written as \xNN:
// control characters (C0, DEL, and the C1 range encoded in UTF-8) and bytes
// that are not part of well-formed UTF-8. Printable ASCII and UTF-8 stay as
// they are.
std::string Printable(std::string_view text);

// A decimal integer in min..max, with nothing before or after it.
std::optional<long> ParseInteger(const std::string& text, long min, long max);

}  // namespace selvo
