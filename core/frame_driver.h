// One frame's work: map every pixel, write the palette colours back, save
// the index image as a numbered PCX file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/map_pixel.h"
#include "core/palette_mapper.h"
#include "core/renderer_config.h"
#include "pcx/pcx_writer.h"

namespace selvo {

// The progress window's messages (WM_USER + 32 and + 33).
constexpr unsigned kProgressMessage = 1056;
constexpr unsigned kAbortQueryMessage = 1057;

// What the driver needs of a frame. The Windows module adapts the host's
// Bitmap to it; the command line adapts image files.
class FrameAccess {
 public:
  virtual ~FrameAccess() = default;
  // Both 0 when the frame has no pixel storage.
  virtual uint16_t Width() const = 0;
  virtual uint16_t Height() const = 0;
  // W x H IDs in row order: bytes for selector 2, uint16_t for selector 4;
  // null when the frame does not carry that channel. Owned by the frame.
  virtual const void* IdChannel(int selector) = 0;
  virtual bool FetchPixels(int x, int y, int count, Pixel64* destination) = 0;
  virtual void StorePixels(int x, int y, int count, const Pixel64* source) = 0;
  virtual int FrameNumber() const = 0;
};

// What the driver tells the host's progress window, once per row.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Message 1056: the row about to be processed, and H - 1.
  virtual void ReportProgress(int row, int lastRow) = 0;
  // Message 1057: the receiver sets *abortFlag non-zero to stop the frame.
  // The flag is cleared once per frame, not per query.
  virtual void QueryAbort(int32_t* abortFlag) = 0;
};

enum class FrameStatus {
  kWritten,      // every row palettized, PCX saved
  kNoSource,     // no frame at all: the filter answers 0
  kNotRendered,  // no pixels, no ID channel, or no memory: frame unchanged
  kAborted,      // stopped between rows by the abort query; no file
  kFetchFailed,  // a row could not be fetched; no file
  kBadName,      // palettized, but the name gives no file name that fits
  kWriteFailed,  // palettized, but the PCX could not be written
};

struct FrameResult {
  FrameStatus status = FrameStatus::kNoSource;
  int rowsDone = 0;      // rows palettized in the frame
  std::string pcxPath;   // the composed name, when one was composed
  std::string writeError;  // kWriteFailed: the writer's line naming the file and why
};

// One palette index per pixel, row-major from the first delivered row.
using IndexBuffer = std::vector<uint8_t>;

// Buffers that a caller rendering a sequence keeps across frames. After a
// frame `indices` holds its index image (complete rows only). The mapper
// keeps its prepared searches for the next frame with the same palette.
struct FrameBuffers {
  std::vector<Pixel64> row;
  IndexBuffer indices;
  PaletteMapper mapper;
};

// Saves a finished frame's index image; WritePcx's signature and contract.
using PcxWriteFunction = std::string (*)(const std::string& path, const uint8_t* indices,
                                  int width, int height, const uint8_t* palette);

// `write` is WritePcx; a harness that must not create files under names
// taken from an arbitrary settings block passes one that keeps the bytes.
FrameResult RenderFrame(const RendererConfig& config, FrameAccess* frame,
                        ProgressWindow& progress, FrameBuffers& buffers,
                        PcxWriteFunction write = WritePcx);

// The configured name cut at its first "." (folders included), then the
// frame number as "%04d.pcx". Empty when the result would pass 255
// characters.
std::string ComposeOutputName(std::string_view configuredName, int frameNumber);

}  // namespace selvo
