// A stored settings block, a small frame and its ID channel, through
// LoadConfig and RenderFrame. The PCX stays in memory: the block's name may
// point anywhere on the file system.
//
// Input layout (missing bytes read as 0):
//   [0, 1084)   the settings block, as a host would hand it back
//   1084        width, 0..255
//   1085        height, 0..31 (taken modulo 32 to keep runs fast)
//   1086..1089  frame number, signed 32-bit little-endian
//   1090        row before which the driver is told to stop (255: never)
//   1091        255: the frame is in memory; else it is handed out a row at
//               a time and the fetch of this row fails
//   1092        flags: bit 0 no ID channel, bit 1 the write fails, bit 2
//               render again with the palette shifted, then as at first
//   1093...     W x H IDs (1 or 2 bytes each, by the selected channel),
//               then W x H pixels of 8 bytes (r, g, b, a little-endian)
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/frame_driver.h"
#include "fuzz/byte_reader.h"
#include "fuzz/fuzz_check.h"
#include "testing/pcx_decode.h"

namespace {

using namespace selvo;

// The frame in memory; with a failing row it is handed out a row at a
// time instead, as a host does.
class MemoryFrame : public RowTransfer {
 public:
  MemoryFrame(int width, int height, int frameNumber)
      : width_(width),
        height_(height),
        frameNumber_(frameNumber),
        pixels_(std::size_t(width) * height) {}

  FrameView View() {
    FrameView view;
    view.width = width_;
    view.height = height_;
    if (failingRow >= 0) view.rowTransfer = this;
    else view.pixels = pixels_.data();
    if (!withoutChannel && !bytes.empty()) view.materialIds.bytes = bytes.data();
    if (!withoutChannel && !words.empty()) view.objectIds.words = words.data();
    view.frameNumber = frameNumber_;
    return view;
  }
  bool FetchRow(int y, Pixel64* row) override {
    CHECK(y >= 0 && y < height_);
    if (y == failingRow) return false;
    std::memcpy(row, &pixels_[std::size_t(y) * width_], sizeof(Pixel64) * width_);
    return true;
  }
  void StoreRow(int y, const Pixel64* row) override {
    CHECK(y >= 0 && y < height_);
    std::memcpy(&pixels_[std::size_t(y) * width_], row, sizeof(Pixel64) * width_);
  }

  Pixel64& At(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }

  std::vector<uint8_t> bytes;
  std::vector<uint16_t> words;
  bool withoutChannel = false;
  int failingRow = -1;

 private:
  int width_, height_, frameNumber_;
  std::vector<Pixel64> pixels_;
};

class ScriptedProgress : public RowProgress {
 public:
  ScriptedProgress(int abortRow, int lastRow) : abortRow_(abortRow), lastRow_(lastRow) {}
  void ReportProgress(int row, int lastRow) override {
    CHECK(row == reported && lastRow == lastRow_);
    ++reported;
  }
  bool StopRequested() override { return reported - 1 == abortRow_; }
  int reported = 0;

 private:
  int abortRow_, lastRow_;
};

// What the in-memory writer was handed.
struct WrittenPcx {
  int calls = 0;
  bool fail = false;
  std::string path;
  std::vector<uint8_t> bytes;
} g_written;

std::string KeepPcxInMemory(const std::string& path, const uint8_t* indices, int width, int height,
                            const uint8_t* palette) {
  ++g_written.calls;
  g_written.path = path;
  g_written.bytes = EncodePcxToMemory(indices, width, height, palette);
  return g_written.fail ? path + ": cannot write file: No space left on device" : "";
}

void CheckLoadConfig(const uint8_t block[kConfigSize], RendererConfig& config) {
  uint32_t version;
  std::memcpy(&version, block, 4);  // the fuzzing hosts are little-endian
  const bool accepted = LoadConfig(config, block);
  CHECK(accepted == (version <= kConfigVersion));
  uint8_t saved[kConfigSize];
  CHECK(SaveConfig(config, saved));
  if (accepted) {
    CHECK(std::memcmp(saved, block, kConfigSize) == 0);
  } else {
    uint8_t defaults[kConfigSize];
    SaveConfig(RendererConfig{}, defaults);
    CHECK(std::memcmp(saved, defaults, kConfigSize) == 0);
  }
}

void CheckName(const RendererConfig& config, int frameNumber, const FrameResult& result) {
  const auto name = OutputName(config);
  if (!name) {
    CHECK(result.status == FrameStatus::kBadName && result.pcxPath.empty());
    return;
  }
  const std::string& path = result.pcxPath;
  const std::string base(name->substr(0, name->find('.')));
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "%04d.pcx", frameNumber);
  if (base.size() + std::strlen(suffix) > kNameSize - 1) {
    CHECK(result.status == FrameStatus::kBadName && path.empty());
  } else {
    CHECK(path == base + suffix);
  }
}

// Each palettized pixel has the index the mapping's definition gives (within
// its ID's range when the range runs upward) and carries that palette entry
// at 256 times the byte, alpha kept.
void CheckPalettized(const RendererConfig& config, MemoryFrame& frame,
                     const std::vector<Pixel64>& original, const IndexBuffer& indices, int width,
                     int rows) {
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = std::size_t(y) * width + x;
      const unsigned id = SelectedIdChannel(config) == IdChannel::kMaterialEffects
                              ? frame.bytes[at]
                              : frame.words[at];
      const ColorRange& range = RangeForId(config, id);
      const uint8_t index = indices[at];
      CHECK(index == MapPixel(original[at], x, y, range, config.palette, config.method));
      if (range.from <= range.to) CHECK(index >= range.from && index <= range.to);
      const Pixel64& p = frame.At(x, y);
      CHECK(p.r == config.palette[3 * index] * 256);
      CHECK(p.g == config.palette[3 * index + 1] * 256);
      CHECK(p.b == config.palette[3 * index + 2] * 256);
      CHECK(p.a == original[at].a);
    }
  }
}

// One frame as the input describes it.
struct FrameInput {
  int width = 0, height = 0, frameNumber = 0, abortRow = -1, failingRow = -1;
  uint8_t flags = 0;
  std::vector<uint8_t> bytes;   // IDs of the material effects channel
  std::vector<uint16_t> words;  // IDs of the object channel
  std::vector<Pixel64> pixels;
};

// Renders the frame with `buffers` as a sequence would, and checks every
// outcome against what the settings and the frame call for.
void RenderAndCheck(const RendererConfig& config, const FrameInput& input, FrameBuffers& buffers) {
  const int width = input.width, height = input.height;
  const std::size_t pixelCount = std::size_t(width) * height;
  MemoryFrame frame(width, height, input.frameNumber);
  frame.withoutChannel = input.flags & 1;
  frame.failingRow = input.failingRow;
  frame.bytes = input.bytes;
  frame.words = input.words;
  const std::vector<Pixel64>& original = input.pixels;
  for (std::size_t i = 0; i < pixelCount; ++i)
    frame.At(int(i % width), int(i / width)) = original[i];

  g_written = WrittenPcx{};
  g_written.fail = input.flags & 2;
  ScriptedProgress progress(input.abortRow, height - 1);
  const FrameResult result = RenderFrame(config, frame.View(), progress, buffers, KeepPcxInMemory);

  if (pixelCount == 0 || frame.withoutChannel) {
    CHECK(result.status == FrameStatus::kNotRendered && result.rowsDone == 0);
    CHECK(g_written.calls == 0);
    for (std::size_t i = 0; i < pixelCount; ++i)
      CHECK(std::memcmp(&frame.At(int(i % width), int(i / width)), &original[i], sizeof(Pixel64)) ==
            0);
    return;
  }

  // The first row that stops the frame: an abort is asked before its fetch.
  int stopRow = height;
  FrameStatus stopStatus = FrameStatus::kWritten;
  if (input.abortRow >= 0 && input.abortRow < height) {
    stopRow = input.abortRow;
    stopStatus = FrameStatus::kAborted;
  }
  if (input.failingRow >= 0 && input.failingRow < stopRow) {
    stopRow = input.failingRow;
    stopStatus = FrameStatus::kFetchFailed;
  }
  CHECK(result.rowsDone == stopRow);
  CheckPalettized(config, frame, original, buffers.indices, width, stopRow);
  for (int y = stopRow; y < height; ++y)
    for (int x = 0; x < width; ++x)
      CHECK(std::memcmp(&frame.At(x, y), &original[std::size_t(y) * width + x], sizeof(Pixel64)) ==
            0);

  if (stopRow < height) {
    CHECK(result.status == stopStatus && g_written.calls == 0);
    return;
  }
  CheckName(config, input.frameNumber, result);
  if (result.status == FrameStatus::kBadName) {
    CHECK(g_written.calls == 0);
    return;
  }
  CHECK(g_written.calls == 1 && g_written.path == result.pcxPath);
  CHECK(result.status == (g_written.fail ? FrameStatus::kWriteFailed : FrameStatus::kWritten));
  const test::DecodedPcx decoded = test::DecodePcx(g_written.bytes);
  CHECK(decoded.ok && decoded.width == width && decoded.height == height);
  CHECK(decoded.indices == buffers.indices);
  CHECK(std::memcmp(decoded.palette.data(), config.palette, kPaletteSize) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ByteReader in{data, size};
  uint8_t block[kConfigSize];
  for (uint8_t& b : block) b = in.Byte();
  FrameInput input;
  input.width = in.Byte();
  input.height = in.Byte() % 32;
  input.frameNumber = int32_t(in.U32());
  const uint8_t abortByte = in.Byte();
  const uint8_t failByte = in.Byte();
  input.flags = in.Byte();
  input.abortRow = abortByte == 255 ? -1 : abortByte;
  input.failingRow = failByte == 255 ? -1 : failByte;

  RendererConfig config;
  CheckLoadConfig(block, config);

  const std::size_t pixelCount = std::size_t(input.width) * input.height;
  const bool wordIds = SelectedIdChannel(config) == IdChannel::kObject;
  for (std::size_t i = 0; i < pixelCount; ++i) {
    if (wordIds) input.words.push_back(in.U16());
    else input.bytes.push_back(in.Byte());
  }
  for (std::size_t i = 0; i < pixelCount; ++i) {
    uint16_t c[4];
    for (uint16_t& v : c) v = in.U16();
    input.pixels.push_back(Pixel64{c[0], c[1], c[2], c[3]});
  }

  FrameBuffers buffers;
  RenderAndCheck(config, input, buffers);
  if (input.flags & 4) {
    // A sequence whose palette changes and changes back: what the buffers
    // kept from one frame must not leak into the next.
    RendererConfig shifted = config;
    std::memmove(shifted.palette, config.palette + 3, kPaletteSize - 3);
    RenderAndCheck(shifted, input, buffers);
    RenderAndCheck(config, input, buffers);
  }
  return 0;
}
