// The pieces every row mapper is built from: runs of pixels that share a
// setting, and the write-back of palette colours. Shared by the filter's
// PaletteMapper and the extras' mapper.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/map_pixel.h"

namespace selvo {

// Gives each pixel its palette colour, keeping its alpha: one 64-bit merge
// per pixel, `colors` holding each entry as a whole pixel record (alpha 0)
// and `alpha` masking a record's alpha. Kept out of the row loops: inlined
// there, the whole row ran 5 to 10% slower in mapping_bench.
[[gnu::noinline]] inline void MergeColors(const uint64_t* colors, uint64_t alpha,
                                          const uint8_t* indices, int count, Pixel64* pixels) {
  for (int i = 0; i < count; ++i) {
    uint64_t record;
    std::memcpy(&record, &pixels[i], sizeof record);
    record = (record & alpha) | colors[indices[i]];
    std::memcpy(static_cast<void*>(&pixels[i]), &record, sizeof record);
  }
}

// How many IDs from ids[0] on, at most `count`, equal ids[0]; compared eight
// bytes at a time, since objects cover long runs of a row.
template <typename Id>
int RunLength(const Id* ids, int count) {
  constexpr int kPerWord = int(sizeof(uint64_t) / sizeof(Id));
  const uint64_t pattern = uint64_t(ids[0]) * (~uint64_t(0) / Id(~Id(0)));
  int n = 1;
  for (; n + kPerWord <= count; n += kPerWord) {
    uint64_t word;
    std::memcpy(&word, ids + n, sizeof word);
    if (word != pattern) break;
  }
  while (n < count && ids[n] == ids[0]) ++n;
  return n;
}

// Calls map(setting, first, count) for each run of pixels whose IDs share one
// setting, settingOf(id) giving a reference to it: runs of one ID are the
// rule, and IDs with the same range share a setting.
template <typename Id, typename SettingOf, typename Map>
void ForEachRun(const Id* ids, int count, SettingOf settingOf, Map map) {
  for (int i = 0; i < count;) {
    auto& setting = settingOf(ids[i]);
    int end = i + RunLength(ids + i, count - i);
    while (end < count && &settingOf(ids[end]) == &setting) ++end;
    map(setting, i, end - i);
    i = end;
  }
}

inline uint64_t AsBits(const Pixel64& pixel) {
  uint64_t bits;
  std::memcpy(&bits, &pixel, sizeof bits);
  return bits;
}

}  // namespace selvo
