#include "cli/render/sequence.h"

#include <climits>

#include "imageio/text.h"

namespace selvo {
namespace {

// As printf's "%0*d": the width counts a leading minus sign. Runs of any
// length are padded in full.
std::string ZeroPadded(int number, std::size_t width) {
  const std::string digits = std::to_string(number);
  if (digits.size() >= width) return digits;
  const std::size_t sign = number < 0 ? 1 : 0;
  return digits.substr(0, sign) + std::string(width - digits.size(), '0') + digits.substr(sign);
}

}  // namespace

std::string ExpandFrameNumber(const std::string& pattern, int frame) {
  std::string result;
  for (std::size_t i = 0; i < pattern.size();) {
    if (pattern[i] != '#') {
      result += pattern[i++];
      continue;
    }
    std::size_t run = 0;
    while (i + run < pattern.size() && pattern[i + run] == '#') ++run;
    result += ZeroPadded(frame, run);
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
