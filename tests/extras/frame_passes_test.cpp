// Outlines by hand (corners with 4 and 8 neighbours, the frame's edge, the
// background-only choice), and the pass over random frames against the
// rule as it reads, pixel by pixel.
#include "extras/frame_passes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace selvo {
namespace {

using Grid = std::vector<std::vector<int>>;

// The outlines of a frame found, then drawn row by row.
template <typename Id>
void DrawOutlines(const OutlinePlan& plan, const Id* ids, int width, int height,
                  const uint8_t palette[kPaletteSize], Pixel64* pixels, uint8_t* indices) {
  FrameOutlines outlines;
  outlines.Find(plan, ids, width, height, pixels);
  for (int y = 0; y < height; ++y)
    outlines.DrawRow(y, palette, pixels + std::size_t(y) * width, indices + std::size_t(y) * width);
}

// Object 1 and object 2 on the background 0, touching the frame's edges.
const Grid kIds = {
    {1, 1, 1, 0, 0, 0},  //
    {1, 1, 1, 1, 0, 0},  //
    {1, 1, 1, 1, 2, 2},  //
    {1, 1, 1, 1, 2, 2},  //
    {0, 0, 1, 1, 2, 2},  //
};

// The index image after the pass over a frame whose pixels all held index
// 0, with outline 9 for ID 1 and 8 for ID 2 (none for ID 0).
Grid Outlined(bool eight, bool backgroundOnly) {
  const int width = int(kIds[0].size()), height = int(kIds.size());
  std::vector<uint8_t> ids;
  for (const auto& row : kIds) ids.insert(ids.end(), row.begin(), row.end());
  OutlinePlan plan;
  plan.index[1] = 9;
  plan.index[2] = 8;
  plan.eightNeighbours = eight;
  plan.backgroundOnly = backgroundOnly;
  uint8_t palette[kPaletteSize] = {};
  palette[3 * 9] = 200;
  std::vector<Pixel64> pixels(ids.size(), Pixel64{7, 7, 7, 1234});
  std::vector<uint8_t> indices(ids.size(), 0);
  DrawOutlines(plan, ids.data(), width, height, palette, pixels.data(), indices.data());
  Grid grid(height, std::vector<int>(width));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::size_t at = std::size_t(y) * width + x;
      grid[y][x] = indices[at];
      const Pixel64 expected = indices[at] == 0   ? Pixel64{7, 7, 7, 1234}
                               : indices[at] == 9 ? Pixel64{200 * 256, 0, 0, 1234}
                                                  : Pixel64{0, 0, 0, 1234};
      EXPECT_EQ(pixels[at].r, expected.r) << x << ", " << y;
      EXPECT_EQ(pixels[at].g, expected.g) << x << ", " << y;
      EXPECT_EQ(pixels[at].a, expected.a) << x << ", " << y;
    }
  return grid;
}

TEST(Outlines, CornersByHand) {
  // 4 neighbours: the inner corners (2, 1) and (2, 3) touch the background
  // only diagonally and stay; the frame's edge draws nothing ((0, 0) to
  // (0, 2), (5, 3), (5, 4)); 1 and 2 outline each other.
  EXPECT_EQ(Outlined(false, false), (Grid{
                                        {0, 0, 9, 0, 0, 0},
                                        {0, 0, 0, 9, 0, 0},
                                        {0, 0, 0, 9, 8, 8},
                                        {9, 9, 0, 9, 8, 0},
                                        {0, 0, 9, 9, 8, 0},
                                    }));
  // 8 neighbours: the inner corners too.
  EXPECT_EQ(Outlined(true, false), (Grid{
                                       {0, 0, 9, 0, 0, 0},
                                       {0, 0, 9, 9, 0, 0},
                                       {0, 0, 0, 9, 8, 8},
                                       {9, 9, 9, 9, 8, 0},
                                       {0, 0, 9, 9, 8, 0},
                                   }));
  // Against the background only: where 1 meets 2, neither is outlined.
  EXPECT_EQ(Outlined(false, true), (Grid{
                                       {0, 0, 9, 0, 0, 0},
                                       {0, 0, 0, 9, 0, 0},
                                       {0, 0, 0, 0, 8, 8},
                                       {9, 9, 0, 0, 0, 0},
                                       {0, 0, 9, 0, 0, 0},
                                   }));
}

TEST(Transparency, ThresholdInSixteenBitLevels) {
  EXPECT_EQ(TransparentBelow(Transparency{true, 0.5, {}, {}}), 32768u);  // 32767.5 rounded up
  EXPECT_EQ(TransparentBelow(Transparency{true, 0.0, {}, {}}), 0u);      // nothing
  EXPECT_EQ(TransparentBelow(Transparency{true, 1.0, {}, {}}), 65535u);  // all but opaque
  EXPECT_EQ(TransparentBelow(Transparency{false, 0.5, {}, {}}), 0u);
  RendererConfig config;
  config.ranges[0].from = 33;
  EXPECT_EQ(TransparentIndex(Transparency{true, 0.5, {}, {}}, config), 33);
  EXPECT_EQ(TransparentIndex(Transparency{true, 0.5, 0, {}}, config), 0);
}

// Whether the pixel at (x, y) is outlined, as the rule reads.
template <typename Id>
bool OutlinedByRule(const OutlinePlan& plan, const std::vector<Id>& ids,
                    const std::vector<Pixel64>& pixels, int width, int height, int x, int y) {
  const auto transparent = [&](int at) { return pixels[at].a < plan.transparentBelow; };
  const int at = y * width + x;
  if (transparent(at) || !plan.index[ids[at] < kRangeCount ? ids[at] : 0]) return false;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int qx = x + dx, qy = y + dy;
      const bool isNeighbour = (dx != 0 || dy != 0) && (plan.eightNeighbours || dx == 0 || dy == 0);
      if (!isNeighbour || qx < 0 || qy < 0 || qx >= width || qy >= height) continue;
      const int q = qy * width + qx;
      const bool counts = plan.backgroundOnly ? transparent(q) || (ids[q] == 0 && ids[at] != 0)
                                              : transparent(q) || ids[q] != ids[at];
      if (counts) return true;
    }
  return false;
}

// Blobs of a few IDs (some above 15, some transparent) in frames of odd
// sizes, single rows and columns included, in every mode of the pass.
template <typename Id>
void ExpectPassFollowsTheRule(std::mt19937& rng) {
  std::uniform_int_distribution<int> size(1, 40), id(0, 20), chance(0, 99), index(0, 255);
  for (int frame = 0; frame < 60; ++frame) {
    const int width = frame == 0 ? 1 : size(rng), height = frame == 1 ? 1 : size(rng);
    OutlinePlan plan;
    for (auto& outline : plan.index)
      if (chance(rng) < 70) outline = uint8_t(index(rng));
    plan.eightNeighbours = frame % 2;
    plan.backgroundOnly = frame % 4 >= 2;
    plan.transparentBelow = frame % 3 ? 32768 : 0;
    std::vector<Id> ids(std::size_t(width) * height);
    std::vector<Pixel64> pixels(ids.size());
    Id current = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (chance(rng) < 15) current = Id(chance(rng) < 10 ? 300 + id(rng) : id(rng));
      ids[i] = i >= std::size_t(width) && chance(rng) < 60 ? ids[i - width] : current;
      pixels[i].a = uint16_t(chance(rng) < 10 ? 32767 : 32768 + chance(rng));
    }
    if (sizeof(Id) == 1)
      for (Id& v : ids) v = Id(v % 256);
    std::vector<uint8_t> indices(ids.size(), 1);
    uint8_t palette[kPaletteSize] = {};
    DrawOutlines(plan, ids.data(), width, height, palette, pixels.data(), indices.data());
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const int at = y * width + x;
        const bool outlined = OutlinedByRule(plan, ids, pixels, width, height, x, y);
        const int expected = outlined ? *plan.index[ids[at] < kRangeCount ? ids[at] : 0] : 1;
        ASSERT_EQ(indices[at], expected)
            << width << " x " << height << " at " << x << ", " << y << " frame " << frame;
      }
  }
}

TEST(Outlines, PassFollowsTheRule) {
  std::mt19937 rng(17);
  ExpectPassFollowsTheRule<uint8_t>(rng);
  ExpectPassFollowsTheRule<uint16_t>(rng);
}

}  // namespace
}  // namespace selvo
