// The built-in demo: a small animated scene (sky, a chequered floor and three
// shaded balls, each with its own ID) plus settings that show the plain ramp,
// the dithered ramp and a long smooth ramp side by side.
//
// Both hosts render it: `selvo render --demo` natively and the Windows
// stand-in host through the module. Their PCX files must match byte for
// byte, so the scene is computed in integers only (one integer square root,
// no floating point, no library calls): every compiler and platform gives the
// same pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "core/map_pixel.h"
#include "core/renderer_config.h"

namespace selvo {

// What `selvo render --demo` renders when not told otherwise.
constexpr int kDemoWidth = 320;
constexpr int kDemoHeight = 240;
constexpr int kDemoFrame = 1;
constexpr int kDemoLoopFrames = 48;  // the animation repeats after this many

// Object channel: 0 sky, 1 floor, 2 red ball, 3 green ball, 4 gold ball.
// Material channel: the same, except that the gold ball shares the red
// ball's material 2, so the two channels give different pictures.
struct DemoScene {
  int width = 0;
  int height = 0;
  std::vector<Pixel64> pixels;       // row-major from the top row; alpha 65535
  std::vector<uint8_t> materialIds;  // the material effects channel
  std::vector<uint16_t> objectIds;   // the object channel
};

// Any size from 1 x 1 up; any frame number, negative ones included. The
// scene is laid out on a 4:3 canvas that is stretched to the given size.
DemoScene RenderDemoScene(int width, int height, int frame);

// Object channel, uniform distribution, output name "demo.pcx"; a palette of
// ramps, one per ID, with dither on for the sky and the green ball.
RendererConfig DemoConfig();

}  // namespace selvo
