#include "demo/demo_scene.h"

namespace selvo {
namespace {

using i64 = int64_t;

// The scene lives on a 4096 x 3072 canvas; a pixel samples it at its centre.
constexpr i64 kCanvasWidth = 4096;
constexpr i64 kCanvasHeight = 3072;
constexpr i64 kHorizon = 1800;
constexpr i64 kOne = 1024;  // fixed-point 1.0 for shading factors
constexpr i64 kMaxLevel = 65535;

struct Rgb {
  i64 r, g, b;  // 0..65535
};

struct Ball {
  i64 radius;
  i64 groundY;  // canvas row the ball rests on
  i64 baseX;    // leftmost centre of its sideways path
  i64 travel;   // how far it travels sideways
  int phase;    // frames by which its motion is shifted
  Rgb color;
  uint16_t objectId;
  uint8_t materialId;
};

// Farthest first, so nearer balls are drawn over them.
constexpr int kBallCount = 3;
constexpr Ball kBalls[kBallCount] = {
    {260, 2150, 2700, 900, 30, {60000, 46000, 9000}, 4, 2},
    {330, 2380, 500, 1300, 11, {12000, 52000, 16000}, 3, 3},
    {420, 2760, 700, 2400, 0, {58000, 9000, 7000}, 2, 2},
};

// Light from the upper left, towards the viewer; |L| = 1024.
constexpr i64 kLightX = -461, kLightY = -614, kLightZ = 676;
// Half-way between the light and the view direction (0, 0, 1); |H| = 1024.
constexpr i64 kHalfX = -253, kHalfY = -337, kHalfZ = 933;

i64 IntegerSqrt(i64 value) {
  if (value <= 0) return 0;
  uint64_t remainder = uint64_t(value);
  uint64_t root = 0;
  uint64_t bit = uint64_t(1) << 62;
  while (bit > remainder) bit >>= 2;
  while (bit != 0) {
    if (remainder >= root + bit) {
      remainder -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return i64(root);
}

i64 Clamp(i64 v, i64 lo, i64 hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Floor modulo, for frame numbers below zero.
i64 Modulo(i64 a, i64 m) { return ((a % m) + m) % m; }

// 0 at the start of the loop, 1024 half-way, 0 again at its end.
i64 Triangle(i64 frame, int period) {
  const i64 p = Modulo(frame, period);
  const i64 half = period / 2;
  return (p <= half ? p : period - p) * kOne / half;
}

i64 BounceHeight(const Ball& ball, int frame) {
  const int period = kDemoLoopFrames / 2;  // two hops per loop
  const i64 p = Modulo(i64(frame) + ball.phase, period);
  const i64 peak = ball.radius * 3 / 2;
  return 4 * peak * p * (period - p) / (i64(period) * period);
}

i64 BallCenterX(const Ball& ball, int frame) {
  return ball.baseX + ball.travel * Triangle(i64(frame) + ball.phase, kDemoLoopFrames) / kOne;
}

Rgb Scale(const Rgb& c, i64 factor) {  // factor in 1/1024
  return {Clamp(c.r * factor / kOne, 0, kMaxLevel), Clamp(c.g * factor / kOne, 0, kMaxLevel),
          Clamp(c.b * factor / kOne, 0, kMaxLevel)};
}

Rgb Mix(const Rgb& a, const Rgb& b, i64 t, i64 range) {  // t in 0..range
  return {a.r + (b.r - a.r) * t / range, a.g + (b.g - a.g) * t / range,
          a.b + (b.b - a.b) * t / range};
}

Rgb SkyColor(i64 y) { return Mix({22000, 36000, 60000}, {52000, 58000, 64000}, y, kHorizon); }

// Chequered floor in perspective, scrolling towards the viewer and fading
// into the horizon's haze.
Rgb FloorColor(i64 x, i64 y, int frame) {
  const i64 below = y - kHorizon + 1;  // 1..
  const i64 depth = 400000 / below;    // far near the horizon
  const i64 worldX = (x - kCanvasWidth / 2) * depth / 400 + (1 << 20);
  // One pair of tiles per loop, so the last frame leads into the first.
  const i64 worldZ = depth - Modulo(frame, kDemoLoopFrames) * 1024 / kDemoLoopFrames + (1 << 20);
  const bool light = (((worldX >> 9) + (worldZ >> 9)) & 1) == 0;
  const Rgb tile = light ? Rgb{50000, 45000, 36000} : Rgb{26000, 22000, 17000};
  const i64 haze = Clamp(depth - 600, 0, 6000);
  return Mix(tile, {40000, 40000, 38000}, haze, 6000);
}

// Where a ball is in one frame, worked out once per frame.
struct PlacedBall {
  const Ball* ball;
  i64 centerX, centerY;
  i64 shadowRx, shadowRy;  // the shadow shrinks as the ball rises
};

PlacedBall Place(const Ball& ball, int frame) {
  const i64 height = BounceHeight(ball, frame);
  const i64 shadowRx = ball.radius - height / 4;
  return {&ball, BallCenterX(ball, frame), ball.groundY - ball.radius - height, shadowRx,
          shadowRx / 4};
}

bool InShadow(const PlacedBall& placed, i64 x, i64 y) {
  const i64 rx = placed.shadowRx, ry = placed.shadowRy;
  if (rx <= 0 || ry <= 0) return false;
  const i64 dx = x - placed.centerX;
  const i64 dy = y - placed.ball->groundY;
  return dx * dx * ry * ry + dy * dy * rx * rx <= rx * rx * ry * ry;
}

// Lambert shading with a small highlight; nothing when (x, y) misses.
bool ShadeBall(const PlacedBall& placed, i64 x, i64 y, Rgb* color) {
  const i64 r = placed.ball->radius;
  const i64 dx = x - placed.centerX;
  const i64 dy = y - placed.centerY;
  const i64 d2 = dx * dx + dy * dy;
  if (d2 >= r * r) return false;
  const i64 dz = IntegerSqrt(r * r - d2);
  const i64 diffuse = Clamp((dx * kLightX + dy * kLightY + dz * kLightZ) / r, 0, kOne);
  const i64 facing = Clamp((dx * kHalfX + dy * kHalfY + dz * kHalfZ) / r, 0, kOne);
  i64 specular = facing;
  for (int i = 0; i < 5; ++i) specular = specular * specular / kOne;  // ^32
  const Rgb lit = Scale(placed.ball->color, 160 + diffuse * (kOne - 160) / kOne);
  const i64 shine = 40000 * specular / kOne;
  *color = {Clamp(lit.r + shine, 0, kMaxLevel), Clamp(lit.g + shine, 0, kMaxLevel),
            Clamp(lit.b + shine, 0, kMaxLevel)};
  return true;
}

i64 Luminance(const Rgb& c) { return (11 * c.b + 59 * c.g + 30 * c.r) / 100; }

// Palette entries first..first+count-1 for a uniform ramp: entry k gets the
// luminance at the middle of its band, as the hue darkened towards black
// below the hue's own luminance and lightened towards white above it.
void FillRamp(uint8_t* palette, int first, int count, Rgb hue) {
  const i64 hueLevel = Luminance(hue);
  for (int k = 0; k < count; ++k) {
    const i64 level = (2 * k + 1) * 255 / (2 * i64(count));
    const Rgb c = level <= hueLevel ? Mix({0, 0, 0}, hue, level, hueLevel)
                                    : Mix(hue, {255, 255, 255}, level - hueLevel, 255 - hueLevel);
    uint8_t* entry = palette + 3 * (first + k);
    entry[0] = uint8_t(Clamp(c.r, 0, 255));
    entry[1] = uint8_t(Clamp(c.g, 0, 255));
    entry[2] = uint8_t(Clamp(c.b, 0, 255));
  }
}

}  // namespace

DemoScene RenderDemoScene(int width, int height, int frame) {
  DemoScene scene;
  if (width < 1 || height < 1) return scene;
  scene.width = width;
  scene.height = height;
  const std::size_t count = std::size_t(width) * std::size_t(height);
  scene.pixels.resize(count);
  scene.materialIds.resize(count);
  scene.objectIds.resize(count);
  PlacedBall balls[kBallCount];
  for (int b = 0; b < kBallCount; ++b) balls[b] = Place(kBalls[b], frame);

  for (int py = 0; py < height; ++py) {
    const i64 y = (2 * i64(py) + 1) * kCanvasHeight / (2 * i64(height));
    for (int px = 0; px < width; ++px) {
      const i64 x = (2 * i64(px) + 1) * kCanvasWidth / (2 * i64(width));
      Rgb color;
      uint16_t objectId = 0;
      uint8_t materialId = 0;
      if (y < kHorizon) {
        color = SkyColor(y);
      } else {
        color = FloorColor(x, y, frame);
        objectId = materialId = 1;
        for (const PlacedBall& placed : balls)
          if (InShadow(placed, x, y)) color = Scale(color, 560);
      }
      for (const PlacedBall& placed : balls) {
        if (ShadeBall(placed, x, y, &color)) {
          objectId = placed.ball->objectId;
          materialId = placed.ball->materialId;
        }
      }
      const std::size_t i = std::size_t(py) * width + px;
      scene.pixels[i] = Pixel64{uint16_t(color.r), uint16_t(color.g), uint16_t(color.b), 65535};
      scene.objectIds[i] = objectId;
      scene.materialIds[i] = materialId;
    }
  }
  return scene;
}

RendererConfig DemoConfig() {
  RendererConfig config;  // the 3-3-2 palette stays for entries no ID uses
  config.sourceChannel = kObjectChannel;
  config.method = kUniformDistribution;
  SetOutputName(config, "demo.pcx");
  struct Band {
    int first, count;
    Rgb color;
    bool dither;
  };
  const Band bands[] = {
      {0, 16, {90, 140, 240}, true},     // 0 sky: dithered
      {16, 16, {190, 165, 125}, false},  // 1 floor
      {32, 8, {225, 30, 25}, false},     // 2 red ball: 8 plain bands
      {40, 8, {40, 190, 60}, true},      // 3 green ball: 8 bands, dithered
      {48, 32, {235, 175, 30}, false},   // 4 gold ball: a long smooth ramp
  };
  for (int id = 0; id < 5; ++id) {
    const Band& band = bands[id];
    FillRamp(config.palette, band.first, band.count, band.color);
    config.ranges[id] = ColorRange{uint8_t(band.first), uint8_t(band.first + band.count - 1),
                                   uint8_t(band.dither ? 1 : 0)};
  }
  return config;
}

}  // namespace selvo
