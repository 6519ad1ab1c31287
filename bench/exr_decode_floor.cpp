// The least work of reading an EXR frame: the named channels decoded once,
// as FLOAT, in one call, by OpenEXR's thread pool; nothing else.
//   exr_decode_floor THREADS FILE CHANNEL...
// THREADS 0 decodes on the calling thread. Prints the sum of the values, so
// that the reading cannot be left out.
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfThreading.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s THREADS FILE CHANNEL...\n", argv[0]);
    return 2;
  }
  try {
    Imf::setGlobalThreadCount(std::atoi(argv[1]));
    Imf::InputFile file(argv[2]);
    const Imath::Box2i window = file.header().dataWindow();
    const std::size_t width = std::size_t(window.max.x - window.min.x + 1);
    const std::size_t height = std::size_t(window.max.y - window.min.y + 1);
    std::vector<std::vector<float>> planes(argc - 3, std::vector<float>(width * height));
    Imf::FrameBuffer buffer;
    for (int c = 3; c < argc; ++c)
      buffer.insert(argv[c], Imf::Slice::Make(Imf::FLOAT, planes[c - 3].data(), window));
    file.setFrameBuffer(buffer);
    file.readPixels(window.min.y, window.max.y);
    double sum = 0;
    for (const std::vector<float>& plane : planes)
      for (float v : plane) sum += v;
    std::printf("%g\n", sum);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
