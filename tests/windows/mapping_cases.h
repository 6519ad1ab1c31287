// Frames that pin the mapping's arithmetic: every 16-bit grey level and every
// single-channel level through uniform ranges of several lengths (plain and
// dithered, at both checkerboard parities), and many colours, ties among
// them, through most-similar-colour ranges of the 3-3-2 palette and of a
// palette built to be hard. The native build writes the indices its core
// picks for them (write_mapping_table); the Windows test renders the same
// frames through the module and compares, which proves that each build's
// arithmetic (x87 or SSE, 32 or 64 bits) picks the same entries.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/map_pixel.h"
#include "core/renderer_config.h"

namespace mapping_cases {

struct MappingCase {
  std::string name;
  selvo::RendererConfig config;  // object channel: IDs are 16-bit
  int width = 0;
  int height = 0;
  std::vector<selvo::Pixel64> pixels;  // row 0 first
  std::vector<uint16_t> ids;
};

// Uniform ranges, IDs 0..7 plain and 8..15 the same dithered: lengths 1, 2,
// 3, 16, 85 and 256, and two reversed ranges (From above To), one from 255,
// where the dithered step would leave the palette.
inline void SetUniformRanges(selvo::RendererConfig& config) {
  const uint8_t bands[8][2] = {{0, 0},  {7, 8},   {0, 2},    {10, 25},
                               {0, 84}, {0, 255}, {200, 10}, {255, 0}};
  for (int id = 0; id < 16; ++id)
    config.ranges[id] = {bands[id % 8][0], bands[id % 8][1], uint8_t(id >= 8)};
}

// Most-similar ranges: the whole palette, its parts, single entries, and a
// reversed range (which answers From).
inline void SetSimilarRanges(selvo::RendererConfig& config) {
  const uint8_t bands[16][2] = {{0, 255}, {0, 15},    {16, 47},   {48, 95}, {96, 127}, {128, 255},
                                {0, 127}, {100, 200}, {250, 255}, {1, 254}, {5, 6},    {31, 32},
                                {77, 77}, {200, 100}, {15, 16},   {0, 1}};
  for (int id = 0; id < 16; ++id) config.ranges[id] = {bands[id][0], bands[id][1], 0};
}

// A small deterministic generator, so both builds make the same frames.
struct Lcg {
  uint32_t state;
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

// A palette where nearest-entry search is easy to get wrong: 16 equal
// entries (the lowest index must win), pairs one step apart, a cluster in
// the white corner (long candidate lists far from it), the cube's corners
// and a grey ramp, the rest pseudo-random.
inline void FillAdversarialPalette(uint8_t palette[selvo::kPaletteSize]) {
  auto set = [&](int i, int r, int g, int b) {
    palette[3 * i] = uint8_t(r);
    palette[3 * i + 1] = uint8_t(g);
    palette[3 * i + 2] = uint8_t(b);
  };
  Lcg lcg{12345};
  for (int i = 0; i < 16; ++i) set(i, 90, 140, 30);
  for (int i = 16; i < 48; i += 2) {
    const int r = int(lcg.Next() % 255), g = int(lcg.Next() % 255), b = int(lcg.Next() % 255);
    set(i, r, g, b);
    set(i + 1, r + (i % 3 == 0), g + (i % 3 == 1), b + (i % 3 == 2));
  }
  for (int i = 48; i < 96; ++i)
    set(i, 250 + int(lcg.Next() % 6), 250 + int(lcg.Next() % 6), 250 + int(lcg.Next() % 6));
  for (int i = 96; i < 104; ++i) set(i, (i & 1) * 255, (i >> 1 & 1) * 255, (i >> 2 & 1) * 255);
  for (int i = 104; i < 128; ++i) set(i, (i - 104) * 11, (i - 104) * 11, (i - 104) * 11);
  for (int i = 128; i < 256; ++i)
    set(i, int(lcg.Next() & 255), int(lcg.Next() & 255), int(lcg.Next() & 255));
}

inline selvo::Pixel64 Rgb(int r, int g, int b) {
  return selvo::Pixel64{uint16_t(r), uint16_t(g), uint16_t(b), 0xFFFF};
}

// Colours for the most-similar frames: every entry exactly and at the top of
// its byte, the midpoints of many pairs of entries and one step either side
// (ties and near ties), a grid of extreme levels, and pseudo-random colours.
inline std::vector<selvo::Pixel64> SimilarColors(const uint8_t palette[selvo::kPaletteSize]) {
  std::vector<selvo::Pixel64> colors;
  auto entry = [&](int i, int c) { return int(palette[3 * i + c]); };
  for (int i = 0; i < 256; ++i) {
    colors.push_back(Rgb(256 * entry(i, 0), 256 * entry(i, 1), 256 * entry(i, 2)));
    colors.push_back(
        Rgb(256 * entry(i, 0) + 255, 256 * entry(i, 1) + 255, 256 * entry(i, 2) + 255));
  }
  for (int i = 0; i < 256; ++i)
    for (int j = i + 1; j < 256; j += 7)
      for (int step = -1; step <= 1; ++step) {
        auto mid = [&](int c) {
          return std::min(65535, std::max(0, 128 * (entry(i, c) + entry(j, c)) + step));
        };
        colors.push_back(Rgb(mid(0), mid(1), mid(2)));
      }
  const int levels[] = {0, 1, 127, 128, 255, 256, 32767, 32768, 65279, 65280, 65534, 65535};
  for (int r : levels)
    for (int g : levels)
      for (int b : levels) colors.push_back(Rgb(r, g, b));
  Lcg lcg{777};
  while (colors.size() % 64 != 0 || colors.size() < 32768)
    colors.push_back(
        Rgb(int(lcg.Next() & 0xFFFF), int(lcg.Next() & 0xFFFF), int(lcg.Next() & 0xFFFF)));
  return colors;
}

constexpr int kLevelsPerRow = 32;  // uniform frames: 1024 x 2048
constexpr int kColorsPerRow = 64;  // most-similar frames: 1024 wide

// Every level of one channel kind (0 grey, 1 red, 2 green, 3 blue) under
// every uniform ID, each at both checkerboard parities: pixel x holds level
// row * 32 + x / 32 under ID (x / 2) % 16, and x's last bit flips the parity.
inline MappingCase UniformCase(int kind) {
  static const char* const kNames[] = {"grey", "red", "green", "blue"};
  MappingCase c;
  c.name = std::string("uniform ") + kNames[kind];
  c.config.sourceChannel = selvo::kObjectChannel;
  c.config.method = selvo::kUniformDistribution;
  SetUniformRanges(c.config);
  c.width = kLevelsPerRow * 16 * 2;
  c.height = 65536 / kLevelsPerRow;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const int level = y * kLevelsPerRow + x / 32;
      c.pixels.push_back(Rgb(kind == 0 || kind == 1 ? level : 0, kind == 0 || kind == 2 ? level : 0,
                             kind == 0 || kind == 3 ? level : 0));
      c.ids.push_back(uint16_t((x / 2) % 16));
    }
  return c;
}

// Every colour of SimilarColors under every most-similar ID.
inline MappingCase SimilarCase(bool adversarial) {
  MappingCase c;
  c.name = adversarial ? "most similar, hard palette" : "most similar, 3-3-2 palette";
  c.config.sourceChannel = selvo::kObjectChannel;
  c.config.method = selvo::kFindMostSimilarColor;
  if (adversarial) FillAdversarialPalette(c.config.palette);
  SetSimilarRanges(c.config);
  const std::vector<selvo::Pixel64> colors = SimilarColors(c.config.palette);
  c.width = kColorsPerRow * 16;
  c.height = int(colors.size()) / kColorsPerRow;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      c.pixels.push_back(colors[y * kColorsPerRow + x / 16]);
      c.ids.push_back(uint16_t(x % 16));
    }
  return c;
}

// The table both sides agree on: for each case in order, the pixel count as
// 4 bytes (little-endian) and then one index per pixel.
constexpr int kCaseCount = 6;

inline MappingCase MakeCase(int i) { return i < 4 ? UniformCase(i) : SimilarCase(i == 5); }

}  // namespace mapping_cases
