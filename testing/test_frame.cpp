#include "testing/test_frame.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace selvo::test {
namespace {

struct Sphere {
  double cx, cy, radius;  // in pixels
  double color[3];        // linear 0..1
};

// Lambert shading plus a highlight, lit from the upper left.
double Shade(double nx, double ny, double nz) {
  const double lx = -0.5, ly = -0.6, lz = 0.62;
  const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
  const double highlight = std::pow(std::max(0.0, nz * 0.9 + diffuse * 0.1), 40.0);
  return 0.12 + 0.8 * diffuse + 0.5 * highlight;
}

}  // namespace

TestFrame MakeTestFrame(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> noise(0.0, 400.0);  // in 16-bit levels

  // Twelve objects at fixed places, nudged by the seed as a sequence would.
  std::mt19937 layout(1234);
  std::vector<Sphere> spheres;
  for (int i = 0; i < 12; ++i) {
    Sphere s;
    s.cx = width * (0.08 + 0.84 * unit(layout)) + 6.0 * (unit(rng) - 0.5);
    s.cy = height * (0.12 + 0.76 * unit(layout)) + 6.0 * (unit(rng) - 0.5);
    s.radius = std::min(width, height) * (0.06 + 0.14 * unit(layout));
    for (double& c : s.color) c = 0.15 + 0.85 * unit(layout);
    spheres.push_back(s);
  }

  TestFrame frame;
  frame.width = width;
  frame.height = height;
  frame.pixels.resize(std::size_t(width) * height);
  frame.ids.resize(std::size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // The floor: a gradient from a warm grey to a cool blue.
      const double t = double(y) / height, u = double(x) / width;
      double rgb[3] = {0.55 - 0.3 * t + 0.1 * u, 0.5 - 0.2 * t, 0.45 + 0.3 * t - 0.1 * u};
      uint8_t id = 0;
      for (std::size_t i = 0; i < spheres.size(); ++i) {  // later spheres in front
        const Sphere& s = spheres[i];
        const double dx = (x - s.cx) / s.radius, dy = (y - s.cy) / s.radius;
        const double r2 = dx * dx + dy * dy;
        if (r2 >= 1.0) continue;
        const double light = Shade(dx, dy, std::sqrt(1.0 - r2));
        for (int c = 0; c < 3; ++c) rgb[c] = s.color[c] * light;
        id = uint8_t(1 + i);
      }
      Pixel64& p = frame.pixels[std::size_t(y) * width + x];
      uint16_t* channels[3] = {&p.r, &p.g, &p.b};
      for (int c = 0; c < 3; ++c) {
        const double level = std::clamp(rgb[c] * 65535.0 + noise(rng), 0.0, 65535.0);
        *channels[c] = uint16_t(std::lround(level));
      }
      p.a = 65535;
      frame.ids[std::size_t(y) * width + x] = id;
    }
  }
  return frame;
}

std::vector<Pixel64> RandomRow(std::mt19937& rng, int width) {
  std::uniform_int_distribution<int> level(0, 65535);
  std::vector<Pixel64> row(width);
  for (Pixel64& p : row)
    p = Pixel64{uint16_t(level(rng)), uint16_t(level(rng)), uint16_t(level(rng)),
                uint16_t(level(rng))};
  return row;
}

}  // namespace selvo::test
