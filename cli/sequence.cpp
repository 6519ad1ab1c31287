#include "cli/sequence.h"

#include <climits>
#include <cstdio>

#include "cli/arguments.h"

namespace selvo {

std::string ExpandFrameNumber(const std::string& pattern, int frame) {
  std::string result;
  for (std::size_t i = 0; i < pattern.size();) {
    if (pattern[i] != '#') {
      result += pattern[i++];
      continue;
    }
    std::size_t run = 0;
    while (i + run < pattern.size() && pattern[i + run] == '#') ++run;
    char number[32];
    std::snprintf(number, sizeof number, "%0*d", int(run < 20 ? run : 20), frame);
    result += number;
    i += run;
  }
  return result;
}

bool HasFramePlaceholder(const std::string& pattern) {
  return pattern.find('#') != std::string::npos;
}

std::optional<FrameRange> ParseFrameRange(const std::string& text) {
  // The separator is the first '-' that is not a leading sign.
  const std::size_t dash = text.find('-', 1);
  const std::string firstText = text.substr(0, dash);
  const std::optional<long> first = ParseInteger(firstText, INT_MIN, INT_MAX);
  if (!first) return std::nullopt;
  if (dash == std::string::npos) return FrameRange{int(*first), int(*first)};
  const std::optional<long> last = ParseInteger(text.substr(dash + 1), INT_MIN, INT_MAX);
  if (!last || *last < *first) return std::nullopt;
  return FrameRange{int(*first), int(*last)};
}

}  // namespace selvo
