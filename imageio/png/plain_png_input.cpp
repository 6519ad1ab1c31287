#include "imageio/png/png_pvt.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "imageio/image.h"

namespace selvo {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// libpng refuses any chunk but image data that is longer than this (its
// built-in chunk limit); such files are left to it.
constexpr uint32_t kLibpngChunkLimit = 8000000;

uint32_t BigEndian32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

bool IsLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Reads a PNG's chunks one after the other and checks each one's CRC.
class ChunkReader {
 public:
  explicit ChunkReader(std::FILE* file) : file_(file) {}

  // Reads the next chunk's length and type; false when the file ends or
  // that is no chunk header.
  bool Next() {
    uint8_t header[8];
    if (std::fread(header, 1, sizeof header, file_) != sizeof header) return false;
    length_ = left_ = BigEndian32(header);
    std::memcpy(type_, header + 4, 4);
    crc_ = crc32_gzip_refl(0, type_, 4);
    return length_ <= 0x7fffffff && std::all_of(type_, type_ + 4, IsLetter);
  }

  bool Is(const char* type) const { return std::memcmp(type_, type, 4) == 0; }
  // Chunks a reader may ignore have a lower-case first letter.
  bool IsAncillary() const { return (type_[0] & 0x20) != 0; }
  uint32_t Length() const { return length_; }
  uint32_t Left() const { return left_; }

  // Reads up to `size` of the chunk's bytes; how many were read.
  std::size_t Read(uint8_t* out, std::size_t size) {
    const std::size_t got = std::fread(out, 1, std::min<std::size_t>(size, left_), file_);
    crc_ = crc32_gzip_refl(crc_, out, got);
    left_ -= uint32_t(got);
    return got;
  }

  // Reads the rest of the chunk and its CRC; true when that matches.
  bool Finish() {
    uint8_t bytes[4096];
    while (left_ > 0)
      if (Read(bytes, sizeof bytes) == 0) return false;
    uint8_t stored[4];
    return std::fread(stored, 1, 4, file_) == 4 &&
           (!kVerifyChecksums || BigEndian32(stored) == crc_);
  }

 private:
  std::FILE* file_;
  uint32_t length_ = 0;
  uint32_t left_ = 0;
  uint8_t type_[4] = {};
  uint32_t crc_ = 0;
};

// Ancillary chunks change nothing in the pixels, except transparency,
// which libpng turns into alpha.
bool IsSkippable(const ChunkReader& chunks) {
  return chunks.IsAncillary() && !chunks.Is("tRNS") && chunks.Length() <= kLibpngChunkLimit;
}

// Channels of a plain image of `colorType`, or 0 when it is not plain.
int PlainChannels(int colorType, PngUse use) {
  if (use == PngUse::kIds) return colorType == 0 ? 1 : 0;  // IDs are greyscale
  switch (colorType) {
    case 0: return 1;   // grey
    case 2: return 3;   // RGB
    case 4: return 2;   // grey and alpha
    case 6: return 4;   // RGBA
    default: return 0;  // palette images go to libpng
  }
}

// The image header, when it describes a plain image that fits the limits
// the libpng path applies.
bool ReadPlainHeader(ChunkReader& chunks, PngUse use, uint64_t fileSize, PngSampleLayout& layout) {
  uint8_t header[13];
  if (!chunks.Next() || !chunks.Is("IHDR") || chunks.Length() != sizeof header ||
      chunks.Read(header, sizeof header) != sizeof header || !chunks.Finish())
    return false;
  const uint32_t width = BigEndian32(header);
  const uint32_t height = BigEndian32(header + 4);
  const int bitDepth = header[8];
  const int channels = PlainChannels(header[9], use);
  // Compression, filter method and interlacing: deflate, adaptive, none.
  if (header[10] != 0 || header[11] != 0 || header[12] != 0) return false;
  if (channels == 0 || (bitDepth != 8 && bitDepth != 16)) return false;
  if (width == 0 || height == 0 || width > uint32_t(kMaxImageSide) ||
      height > uint32_t(kMaxImageSide))
    return false;
  layout.width = int(width);
  layout.height = int(height);
  layout.channels = channels;
  layout.bytesPerSample = bitDepth / 8;
  return (layout.RowBytes() + 1) * height / kMaxDeflateRatio <= fileSize;
}

// Walks past the chunks before the image data; true at the first IDAT.
bool ReachImageData(ChunkReader& chunks) {
  while (chunks.Next()) {
    if (chunks.Is("IDAT")) return true;
    if (!IsSkippable(chunks) || !chunks.Finish()) return false;
  }
  return false;
}

// After the image data: ancillary chunks, then an empty IEND.
bool ReachEnd(ChunkReader& chunks) {
  while (chunks.Next()) {
    if (chunks.Is("IEND")) return chunks.Length() == 0 && chunks.Finish();
    if (!IsSkippable(chunks) || !chunks.Finish()) return false;
  }
  return false;
}

// zlib, which libpng inflates with, keeps the window the stream's header
// declares (2^(8 + CINFO) bytes, CINFO at most 7) and refuses a
// back-reference past it ("invalid distance too far back"); ISA-L always
// keeps 32 KB. They agree when the window is 32 KB, or when it holds all the
// image data, so that no reference can reach past it: libpng writes the
// window of a small image no larger than its data.
bool WindowIsZlibs(uint8_t cmf, uint64_t inflatedBytes) {
  const int cinfo = cmf >> 4;
  if (cinfo > 7) return false;  // libpng: "invalid window size"
  return cinfo == 7 || (uint64_t(1) << (8 + cinfo)) >= inflatedBytes;
}

// The zlib stream that runs through consecutive IDAT chunks, inflated by
// ISA-L, which checks its Adler-32 at the end.
class ImageData {
 public:
  ImageData(ChunkReader& chunks, uint64_t inflatedBytes)
      : chunks_(chunks),
        inflatedBytes_(inflatedBytes),
        state_(std::make_unique<inflate_state>()),
        input_(std::size_t(1) << 16) {
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_ZLIB;
  }

  // Fills `out` with the next `size` inflated bytes; false when the data
  // are damaged or end first.
  bool Fill(uint8_t* out, std::size_t size) {
    state_->next_out = out;
    state_->avail_out = uint32_t(size);
    while (state_->avail_out > 0)
      if (state_->block_state == ISAL_BLOCK_FINISH || !Step()) return false;
    return true;
  }

  // True when the stream ends here, its checksum right, and so do the
  // image data: whatever libpng would warn about is left to it.
  bool End() {
    uint8_t extra;
    while (state_->block_state != ISAL_BLOCK_FINISH) {
      state_->next_out = &extra;
      state_->avail_out = 1;
      if (!Step() || state_->avail_out == 0) return false;
    }
    return state_->avail_in == 0 && chunks_.Left() == 0 && chunks_.Finish();
  }

 private:
  // Inflates what it can into the output. ISA-L returns when the output is
  // full, the stream ends, or it has taken all the input it was given (it
  // may still hold output, delivered by the next call): only a call that
  // delivers nothing needs more input.
  bool Step() {
    const uint32_t room = state_->avail_out;
    const int result = isal_inflate(state_.get());
    if (result != ISAL_DECOMP_OK && (kVerifyChecksums || result != ISAL_INCORRECT_CHECKSUM))
      return false;
    if (state_->avail_out < room || state_->block_state == ISAL_BLOCK_FINISH) return true;
    return state_->avail_in == 0 && Refill();
  }

  // Reads more of the IDAT chunks.
  bool Refill() {
    while (chunks_.Left() == 0)
      if (!chunks_.Finish() || !chunks_.Next() || !chunks_.Is("IDAT")) return false;
    if (chunks_.Length() > MaxChunkBytes()) return false;
    const std::size_t got = chunks_.Read(input_.data(), input_.size());
    state_->next_in = input_.data();
    state_->avail_in = uint32_t(got);
    if (got == 0) return false;
    // The stream's first byte, CMF, declares its window.
    const bool first = !started_;
    started_ = true;
    return !first || WindowIsZlibs(input_[0], inflatedBytes_);
  }

  // libpng refuses IDAT chunks longer than its chunk limit and longer than
  // the image inflated plus zlib's overhead of stored blocks; such a chunk
  // is left to it.
  uint64_t MaxChunkBytes() const {
    const uint64_t stored = inflatedBytes_ + 6 + 5 * (inflatedBytes_ / 32566 + 1);
    return std::max<uint64_t>(kLibpngChunkLimit, stored);
  }

  ChunkReader& chunks_;
  uint64_t inflatedBytes_;
  std::unique_ptr<inflate_state> state_;  // 87 KB: too large for the stack
  std::vector<uint8_t> input_;
  bool started_ = false;  // some of the stream has been read
};

// The bytes of one pixel (up to 8) side by side, widened to 16 bits.
typedef int16_t PixelLanes __attribute__((vector_size(16)));

template <int kBpp>
PixelLanes LoadPixel(const uint8_t* bytes) {
  PixelLanes lanes = {};
  for (int k = 0; k < kBpp; ++k) lanes[k] = bytes[k];
  return lanes;
}

template <int kBpp>
void StorePixel(uint8_t* bytes, PixelLanes lanes) {
  for (int k = 0; k < kBpp; ++k) bytes[k] = uint8_t(lanes[k]);
}

PixelLanes Abs(PixelLanes v) { return v < 0 ? -v : v; }

// Paeth: each byte predicted by whichever of left, up and up-left is
// nearest to left + up - up-left, ties going in that order. A whole pixel
// at a time and without branches: branching per byte on picture data
// mispredicts so often that it costs several times as much.
template <int kBpp>
void UnfilterPaeth(uint8_t* x, const uint8_t* up, std::size_t n) {
  PixelLanes left = {}, upLeft = {};
  for (std::size_t i = 0; i < n; i += kBpp) {
    const PixelLanes above = LoadPixel<kBpp>(up + i);
    const PixelLanes pa = Abs(above - upLeft);
    const PixelLanes pb = Abs(left - upLeft);
    const PixelLanes pc = Abs(left + above - 2 * upLeft);
    const PixelLanes nearest = ((pa <= pb) & (pa <= pc)) ? left : (pb <= pc ? above : upLeft);
    left = (LoadPixel<kBpp>(x + i) + nearest) & 0xFF;
    StorePixel<kBpp>(x + i, left);
    upLeft = above;
  }
}

// Undoes one row's filter in place: `x` the row's bytes, `up` those of the
// row above (zeros above the first), kBpp bytes per pixel.
template <int kBpp>
bool Unfilter(int filter, uint8_t* x, const uint8_t* up, std::size_t n) {
  switch (filter) {
    case 0:  // none
      return true;
    case 1:  // sub: the byte to the left
      for (std::size_t i = kBpp; i < n; ++i) x[i] = uint8_t(x[i] + x[i - kBpp]);
      return true;
    case 2:  // up
      for (std::size_t i = 0; i < n; ++i) x[i] = uint8_t(x[i] + up[i]);
      return true;
    case 3:  // average of left and up
      for (std::size_t i = 0; i < kBpp; ++i) x[i] = uint8_t(x[i] + (up[i] >> 1));
      for (std::size_t i = kBpp; i < n; ++i) x[i] = uint8_t(x[i] + ((x[i - kBpp] + up[i]) >> 1));
      return true;
    case 4: UnfilterPaeth<kBpp>(x, up, n); return true;
    default: return false;
  }
}

bool UnfilterRow(int filter, uint8_t* x, const uint8_t* up, const PngSampleLayout& layout) {
  const std::size_t n = layout.RowBytes();
  switch (layout.PixelBytes()) {
    case 1: return Unfilter<1>(filter, x, up, n);
    case 2: return Unfilter<2>(filter, x, up, n);
    case 3: return Unfilter<3>(filter, x, up, n);
    case 4: return Unfilter<4>(filter, x, up, n);
    case 6: return Unfilter<6>(filter, x, up, n);
    default: return Unfilter<8>(filter, x, up, n);
  }
}

// Inflates, unfilters and delivers every row; true when the image data end
// with the last row.
bool DecodeRows(ImageData& data, const PngSampleLayout& layout, PngRowSink& sink) {
  // Each stored row: its filter type, then its bytes.
  std::vector<uint8_t> row(1 + layout.RowBytes());
  std::vector<uint8_t> above(row.size(), 0);
  for (int y = 0; y < layout.height; ++y) {
    if (!data.Fill(row.data(), row.size()) ||
        !UnfilterRow(row[0], row.data() + 1, above.data() + 1, layout))
      return false;
    sink.Row(row.data() + 1);
    std::swap(row, above);
  }
  return data.End();
}

}  // namespace

bool DecodePlainPng(std::FILE* file, uint64_t fileSize, PngUse use, PngRowSink& sink) {
  uint8_t signature[sizeof kSignature];
  if (std::fread(signature, 1, sizeof signature, file) != sizeof signature ||
      std::memcmp(signature, kSignature, sizeof signature) != 0)
    return false;
  ChunkReader chunks(file);
  PngSampleLayout layout;
  if (!ReadPlainHeader(chunks, use, fileSize, layout) || !ReachImageData(chunks)) return false;
  sink.Start(layout);
  ImageData data(chunks, (layout.RowBytes() + 1) * layout.height);
  return DecodeRows(data, layout, sink) && ReachEnd(chunks);
}

}  // namespace selvo
