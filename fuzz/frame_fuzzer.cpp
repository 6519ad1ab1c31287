// A stored settings block, a small frame and its ID channel, through
// LoadConfig and RenderFrame. The PCX stays in memory: the block's name may
// point anywhere on the file system.
//
// Input layout (missing bytes read as 0):
//   [0, 1084)   the settings block, as a host would hand it back
//   1084        width, 0..255
//   1085        height, 0..31 (taken modulo 32 to keep runs fast)
//   1086..1089  frame number, signed 32-bit little-endian
//   1090        row before which the abort query says stop (255: never)
//   1091        row whose fetch fails (255: never)
//   1092        flags: bit 0 no ID channel, bit 1 the write fails
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
#include "fuzz/pcx_decode.h"

namespace {

using namespace selvo;

class MemoryFrame : public FrameAccess {
 public:
  MemoryFrame(int width, int height, int frameNumber)
      : width_(width), height_(height), frameNumber_(frameNumber),
        pixels_(std::size_t(width) * height) {}

  uint16_t Width() const override { return uint16_t(width_); }
  uint16_t Height() const override { return uint16_t(height_); }
  const void* IdChannel(int selector) override {
    ++channelRequests;
    requestedSelector = selector;
    if (withoutChannel) return nullptr;
    return selector == kMaterialEffectsSelector ? static_cast<const void*>(bytes.data())
                                                : static_cast<const void*>(words.data());
  }
  bool FetchPixels(int x, int y, int count, Pixel64* destination) override {
    CHECK(x == 0 && count == width_ && y >= 0 && y < height_);
    if (y == failingRow) return false;
    std::memcpy(destination, &pixels_[std::size_t(y) * width_], sizeof(Pixel64) * count);
    return true;
  }
  void StorePixels(int x, int y, int count, const Pixel64* source) override {
    CHECK(x >= 0 && count >= 0 && x + count <= width_ && y >= 0 && y < height_);
    std::memcpy(&pixels_[std::size_t(y) * width_ + x], source, sizeof(Pixel64) * count);
  }
  int FrameNumber() const override { return frameNumber_; }

  Pixel64& At(int x, int y) { return pixels_[std::size_t(y) * width_ + x]; }

  std::vector<uint8_t> bytes;
  std::vector<uint16_t> words;
  bool withoutChannel = false;
  int failingRow = -1;
  int channelRequests = 0;
  int requestedSelector = 0;

 private:
  int width_, height_, frameNumber_;
  std::vector<Pixel64> pixels_;
};

class ScriptedProgress : public ProgressWindow {
 public:
  ScriptedProgress(int abortRow, int lastRow) : abortRow_(abortRow), lastRow_(lastRow) {}
  void ReportProgress(int row, int lastRow) override {
    CHECK(row == reported && lastRow == lastRow_);
    ++reported;
  }
  void QueryAbort(int32_t* abortFlag) override {
    CHECK(abortFlag != nullptr && *abortFlag == 0);
    if (reported - 1 == abortRow_) *abortFlag = 1;
  }
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

bool KeepPcxInMemory(const std::string& path, const uint8_t* indices, int width,
                     int height, const uint8_t* palette) {
  ++g_written.calls;
  g_written.path = path;
  g_written.bytes = EncodePcxToMemory(indices, width, height, palette);
  return !g_written.fail;
}

void CheckLoadConfig(const uint8_t block[kConfigSize], RendererConfig& config) {
  uint32_t version;
  std::memcpy(&version, block, 4);  // the fuzzing hosts are little-endian
  const bool accepted = LoadConfig(config, block) == 1;
  CHECK(accepted == (version <= kConfigVersion));
  uint8_t saved[kConfigSize];
  CHECK(SaveConfig(config, saved) == 1);
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

// Each palettized pixel carries its palette entry at 256 times the byte,
// alpha kept; its index lies in its ID's range when the range runs upward.
void CheckPalettized(const RendererConfig& config, MemoryFrame& frame,
                     const std::vector<Pixel64>& original, const IndexBuffer& indices,
                     int width, int rows) {
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = std::size_t(y) * width + x;
      const unsigned id = frame.requestedSelector == kMaterialEffectsSelector
                              ? frame.bytes[at] : frame.words[at];
      const ColorRange& range = RangeForId(config, id);
      const uint8_t index = indices[at];
      if (range.from <= range.to) CHECK(index >= range.from && index <= range.to);
      const Pixel64& p = frame.At(x, y);
      CHECK(p.r == config.palette[3 * index] * 256);
      CHECK(p.g == config.palette[3 * index + 1] * 256);
      CHECK(p.b == config.palette[3 * index + 2] * 256);
      CHECK(p.a == original[at].a);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  ByteReader in{data, size};
  uint8_t block[kConfigSize];
  for (uint8_t& b : block) b = in.Byte();
  const int width = in.Byte();
  const int height = in.Byte() % 32;
  const int frameNumber = int32_t(in.U32());
  const uint8_t abortByte = in.Byte();
  const uint8_t failByte = in.Byte();
  const uint8_t flags = in.Byte();
  const int abortRow = abortByte == 255 ? -1 : abortByte;
  const int failingRow = failByte == 255 ? -1 : failByte;

  RendererConfig config;
  CheckLoadConfig(block, config);

  const std::size_t pixelCount = std::size_t(width) * height;
  MemoryFrame frame(width, height, frameNumber);
  frame.withoutChannel = flags & 1;
  frame.failingRow = failingRow;
  const bool wordIds = IdChannelSelector(config) == kObjectSelector;
  for (std::size_t i = 0; i < pixelCount; ++i) {
    if (wordIds) frame.words.push_back(in.U16());
    else frame.bytes.push_back(in.Byte());
  }
  std::vector<Pixel64> original(pixelCount);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint16_t c[4];
      for (uint16_t& v : c) v = in.U16();
      frame.At(x, y) = Pixel64{c[0], c[1], c[2], c[3]};
      original[std::size_t(y) * width + x] = frame.At(x, y);
    }
  }

  g_written = WrittenPcx{};
  g_written.fail = flags & 2;
  ScriptedProgress progress(abortRow, height - 1);
  FrameBuffers buffers;
  const FrameResult result = RenderFrame(config, &frame, progress, buffers, KeepPcxInMemory);

  if (pixelCount == 0 || frame.withoutChannel) {
    CHECK(result.status == FrameStatus::kNotRendered && result.rowsDone == 0);
    CHECK(g_written.calls == 0);
    for (std::size_t i = 0; i < pixelCount; ++i)
      CHECK(std::memcmp(&frame.At(int(i % width), int(i / width)), &original[i],
                        sizeof(Pixel64)) == 0);
    return 0;
  }
  CHECK(frame.requestedSelector == IdChannelSelector(config));

  // The first row that stops the frame: an abort is asked before its fetch.
  int stopRow = height;
  FrameStatus stopStatus = FrameStatus::kWritten;
  if (abortRow >= 0 && abortRow < height) {
    stopRow = abortRow;
    stopStatus = FrameStatus::kAborted;
  }
  if (failingRow >= 0 && failingRow < stopRow) {
    stopRow = failingRow;
    stopStatus = FrameStatus::kFetchFailed;
  }
  CHECK(result.rowsDone == stopRow);
  CheckPalettized(config, frame, original, buffers.indices, width, stopRow);
  for (int y = stopRow; y < height; ++y)
    for (int x = 0; x < width; ++x)
      CHECK(std::memcmp(&frame.At(x, y), &original[std::size_t(y) * width + x],
                        sizeof(Pixel64)) == 0);

  if (stopRow < height) {
    CHECK(result.status == stopStatus && g_written.calls == 0);
    return 0;
  }
  CheckName(config, frameNumber, result);
  if (result.status == FrameStatus::kBadName) {
    CHECK(g_written.calls == 0);
    return 0;
  }
  CHECK(g_written.calls == 1 && g_written.path == result.pcxPath);
  CHECK(result.status == (g_written.fail ? FrameStatus::kWriteFailed : FrameStatus::kWritten));
  const DecodedPcx decoded = DecodePcx(g_written.bytes);
  CHECK(decoded.ok && decoded.width == width && decoded.height == height);
  CHECK(decoded.indices == buffers.indices);
  CHECK(std::memcmp(decoded.palette, config.palette, kPaletteSize) == 0);
  return 0;
}
