// Ordered dithers: Bayer threshold patterns anchored to the frame, so that a
// pixel's threshold depends on its place in the frame alone and the pattern
// holds still from frame to frame, whatever moves.
//
// Both rules spread a colour that falls between two entries over a pattern
// of N thresholds (16 for 4 x 4, 64 for 8 x 8): a share of s / N of the
// upper (second) entry is drawn where the pixel's threshold is below s, so
// each level of the pattern adds exactly one pixel of every N.
#pragma once

#include <cstdint>

#include "core/map_pixel.h"
#include "core/renderer_config.h"
#include "extras/extras.h"
#include "extras/oklab.h"

namespace selvo {

// 16 for Bayer 4 x 4, 64 for 8 x 8 (kNone has no pattern: 1).
int PatternLevels(OrderedDither kind);

// The threshold 0..N - 1 of the frame pixel (x, y): the Bayer matrix at
// (x mod size, y mod size), x and y counted from the frame's top left.
int PatternThreshold(OrderedDither kind, int x, int y);

// Uniform distribution with a pattern. The band runs from From to To,
// downward when To < From, over n = |To - From| + 1 entries. With the
// filter's luminance L and m = N (n - 1) + 1:
//   F = trunc((m L) (1 / 65536)),  0 <= F <= m - 1 (L < 65536);
//   step = F / N, plus 1 where F mod N exceeds the pixel's threshold;
//   index = From + step (From - step when To < From).
// Level 0 is From everywhere, the brightest level To everywhere; From = To
// gives that entry. With N = 2 and a checkerboard this is the filter's own
// dither.
uint8_t MapUniformOrdered(const Pixel64& color, int x, int y, const ColorRange& range,
                          OrderedDither kind);

// The nearest entry of From..To and the nearest entry whose colour differs
// from the nearest's (`second`), both by the strict comparison of a linear
// search (lowest index on a tie). When the band holds one colour only, or
// From >= To, second is first; From > To gives From, as the filter does.
struct NearestPair {
  uint8_t first;
  uint8_t second;
};
NearestPair FindTwoMostSimilar(const Pixel64& color, const ColorRange& range,
                               const uint8_t palette[kPaletteSize], ColorMatching matching);

// Most similar colour with a pattern, between the two entries of
// FindTwoMostSimilar, weighted by distance: the colour's place along the
// line from the nearest entry A to the second B,
//   t = (P - A).(B - A) / |B - A|^2  (0 at A, 1/2 where both are as near),
// in integer coordinates (extras/oklab.h), gives s = trunc(N max(t, 0));
// B is drawn where the threshold is below s, A elsewhere. So a colour on A
// is A everywhere, one midway is half A and half B.
uint8_t ChooseBetween(const ColorPoint& color, uint8_t first, const ColorPoint& firstPoint,
                      uint8_t second, const ColorPoint& secondPoint, int levels, int threshold);

// The rule as a linear search defines it; rows are mapped through a
// BandSearch (extras/band_search.h), which gives the same index.
uint8_t MapSimilarOrdered(const Pixel64& color, int x, int y, const ColorRange& range,
                          const uint8_t palette[kPaletteSize], ColorMatching matching,
                          OrderedDither kind);

}  // namespace selvo
