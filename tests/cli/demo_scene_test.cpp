// The demo scene both hosts render: its contract, not its look.
#include <fstream>
#include <set>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "demo/demo_scene.h"

namespace selvo {
namespace {

bool SamePixels(const DemoScene& a, const DemoScene& b) {
  if (a.pixels.size() != b.pixels.size()) return false;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const Pixel64 &p = a.pixels[i], &q = b.pixels[i];
    if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
  }
  return a.objectIds == b.objectIds && a.materialIds == b.materialIds;
}

TEST(DemoScene, EveryObjectHasItsIdAndTheGoldBallSharesAMaterial) {
  const DemoScene scene = RenderDemoScene(kDemoWidth, kDemoHeight, kDemoFrame);
  ASSERT_EQ(scene.pixels.size(), std::size_t(kDemoWidth) * kDemoHeight);
  ASSERT_EQ(scene.objectIds.size(), scene.pixels.size());
  ASSERT_EQ(scene.materialIds.size(), scene.pixels.size());
  const std::set<uint16_t> objects(scene.objectIds.begin(), scene.objectIds.end());
  EXPECT_EQ(objects, (std::set<uint16_t>{0, 1, 2, 3, 4}));
  for (std::size_t i = 0; i < scene.pixels.size(); ++i) {
    const unsigned object = scene.objectIds[i];
    EXPECT_EQ(scene.materialIds[i], object == 4 ? 2u : object) << i;
    EXPECT_EQ(scene.pixels[i].a, 65535) << i;
  }
  EXPECT_EQ(scene.objectIds.front(), 0);  // sky at the top left
  EXPECT_EQ(scene.objectIds.back(), 1);   // floor at the bottom right
}

TEST(DemoScene, SameArgumentsSamePixelsAndTheLoopRepeats) {
  const DemoScene first = RenderDemoScene(97, 61, 5);
  EXPECT_TRUE(SamePixels(first, RenderDemoScene(97, 61, 5)));
  EXPECT_FALSE(SamePixels(first, RenderDemoScene(97, 61, 6)));
  EXPECT_TRUE(SamePixels(first, RenderDemoScene(97, 61, 5 + kDemoLoopFrames)));
  EXPECT_TRUE(
      SamePixels(RenderDemoScene(40, 30, -1), RenderDemoScene(40, 30, kDemoLoopFrames - 1)));
}

TEST(DemoScene, AnySizeFromOnePixelUp) {
  EXPECT_EQ(RenderDemoScene(1, 1, 0).pixels.size(), 1u);
  EXPECT_EQ(RenderDemoScene(3, 500, 0).objectIds.size(), 1500u);
  EXPECT_TRUE(RenderDemoScene(0, 10, 0).pixels.empty());
}

// The Windows build must produce the same pixels: the scene may not use
// floating point or library mathematics, whose results vary by platform.
TEST(DemoScene, SourceStaysFreeOfFloatingPoint) {
  std::ifstream in(SELVO_DEMO_SOURCE);
  std::stringstream text;
  text << in.rdbuf();
  ASSERT_FALSE(text.str().empty());
  for (const char* banned : {"double", "float", "<cmath>", "<math.h>", "std::sqrt", "pow(", "sin(",
                             "cos(", "exp(", "<cstdio>", "fopen", "<windows.h>"})
    EXPECT_EQ(text.str().find(banned), std::string::npos) << banned;
}

TEST(DemoConfig, BandsPerIdWithDitherOnTheSkyAndTheGreenBall) {
  const RendererConfig config = DemoConfig();
  EXPECT_EQ(config.sourceChannel, kObjectChannel);
  EXPECT_EQ(config.method, kUniformDistribution);
  EXPECT_EQ(OutputName(config).value(), "demo.pcx");
  int previousTo = -1;
  for (int id = 0; id < 5; ++id) {
    const ColorRange& range = config.ranges[id];
    EXPECT_GT(int(range.from), previousTo) << id;  // bands do not overlap
    EXPECT_LT(range.from, range.to) << id;
    previousTo = range.to;
    EXPECT_EQ(range.dither != 0, id == 0 || id == 3) << id;
    // A uniform band is a brightness ramp: luminance rises along it.
    double previous = -1;
    for (int k = range.from; k <= range.to; ++k) {
      const uint8_t* e = config.palette + 3 * k;
      const double luminance = 0.11 * e[2] + 0.59 * e[1] + 0.3 * e[0];
      EXPECT_GT(luminance, previous) << "ID " << id << " entry " << k;
      previous = luminance;
    }
  }
}

}  // namespace
}  // namespace selvo
