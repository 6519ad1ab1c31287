// Frame sequences: numbered file names and frame ranges.
#pragma once

#include <optional>
#include <string>

namespace selvo {

struct FrameRange {
  int first = 0;
  int last = 0;
  long long Count() const { return (long long)last - first + 1; }
};

// Replaces every run of '#' with the frame number, zero-padded to the run's
// length ("walk_####.png" at frame 7 is "walk_0007.png"); a number with more
// digits than the run keeps them all.
std::string ExpandFrameNumber(const std::string& pattern, int frame);

bool HasFramePlaceholder(const std::string& pattern);

// "A-B" with A <= B, or a single frame "N"; either may be negative
// ("-2-3"). Nothing when the text is not such a range.
std::optional<FrameRange> ParseFrameRange(const std::string& text);

}  // namespace selvo
