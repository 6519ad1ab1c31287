// Writes the benchmark frame as Blender writes a multilayer render: one
// part, float channels, ZIP, named ViewLayer.Combined.R/G/B/A,
// ViewLayer.IndexOB.X and ViewLayer.IndexMA.X.
//   write_test_exr FRAME.exr [SEED [WIDTH HEIGHT]]
// Colour is scene-linear: the test frame's 16-bit levels taken as sRGB and
// decoded, so that selvo's sRGB encoding gives the frame back.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "testing/test_frame.h"

namespace {

float Linear(uint16_t level) {
  const double v = level / 65535.0;
  return float(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
}

void WriteExr(const std::string& path, const selvo::test::TestFrame& frame) {
  const std::size_t count = frame.pixels.size();
  std::vector<std::vector<float>> planes(6, std::vector<float>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const selvo::Pixel64& p = frame.pixels[i];
    planes[0][i] = Linear(p.r);
    planes[1][i] = Linear(p.g);
    planes[2][i] = Linear(p.b);
    planes[3][i] = p.a / 65535.0f;
    planes[4][i] = frame.ids[i];             // object index
    planes[5][i] = float(frame.ids[i] % 4);  // a few materials shared by the objects
  }
  const char* names[6] = {"ViewLayer.Combined.R", "ViewLayer.Combined.G", "ViewLayer.Combined.B",
                          "ViewLayer.Combined.A", "ViewLayer.IndexOB.X",  "ViewLayer.IndexMA.X"};
  Imf::Header header(frame.width, frame.height);
  header.compression() = Imf::ZIP_COMPRESSION;
  Imf::FrameBuffer buffer;
  for (int c = 0; c < 6; ++c) {
    header.channels().insert(names[c], Imf::Channel(Imf::FLOAT));
    buffer.insert(names[c], Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(planes[c].data()),
                                       sizeof(float), sizeof(float) * frame.width));
  }
  Imf::OutputFile file(path.c_str(), header);
  file.setFrameBuffer(buffer);
  file.writePixels(frame.height);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: %s FRAME.exr [SEED [WIDTH HEIGHT]]\n", argv[0]);
    return 2;
  }
  const uint32_t seed = argc >= 3 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 1;
  const int width = argc == 5 ? std::atoi(argv[3]) : 1920;
  const int height = argc == 5 ? std::atoi(argv[4]) : 1080;
  if (width < 1 || height < 1 || width > 65535 || height > 65535) {
    std::fprintf(stderr, "%s: size must be 1..65535 each\n", argv[0]);
    return 2;
  }
  try {
    WriteExr(argv[1], selvo::test::MakeTestFrame(width, height, seed));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
