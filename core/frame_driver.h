// One frame's work: map every pixel, write the palette colours back, save
// the index image as a numbered PCX file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/map_pixel.h"
#include "core/palette_mapper.h"
#include "core/renderer_config.h"
#include "pcx/pcx_writer.h"

namespace selvo {

// A frame's IDs, W per row in row order: bytes or 16-bit values, whichever
// the frame holds. Empty when the frame does not carry the channel.
struct IdPlane {
  const uint8_t* bytes = nullptr;
  const uint16_t* words = nullptr;
  bool Empty() const { return bytes == nullptr && words == nullptr; }
};

// For a frame whose pixels are handed out a row at a time (a host's bitmap):
// the driver maps each row in a buffer of its own between the two calls.
// With lent threads (RowWorkers), different rows are exchanged at once.
class RowTransfer {
 public:
  virtual ~RowTransfer() = default;
  // Copies row y into `row` (W pixels); false when the row cannot be read.
  virtual bool FetchRow(int y, Pixel64* row) = 0;
  // Hands row y back once it is palettized.
  virtual void StoreRow(int y, const Pixel64* row) = 0;
};

// What the driver needs of a frame. A frame in memory gives its own pixels,
// which are palettized in place, row by row; each row is mapped on its own.
struct FrameView {
  int width = 0;  // both 0 when the frame has no pixel storage
  int height = 0;
  Pixel64* pixels = nullptr;           // W x H in row order, or null with...
  RowTransfer* rowTransfer = nullptr;  // ...the frame's own row exchange
  IdPlane materialIds;                 // the material effects channel
  IdPlane objectIds;                   // the object channel
  int frameNumber = 0;
};

// What the driver reports once per row, before the row is mapped.
class RowProgress {
 public:
  virtual ~RowProgress() = default;
  // The row about to be processed, and H - 1.
  virtual void ReportProgress(int row, int lastRow) = 0;
  // Asked after each report: whether the frame is to stop before that row.
  virtual bool StopRequested() = 0;
};

enum class FrameStatus {
  kWritten,      // every row palettized, PCX saved
  kNotRendered,  // no pixels, no ID channel, or no memory: frame unchanged
  kAborted,      // stopped between rows when asked to; no file
  kFetchFailed,  // a row could not be fetched; no file
  kBadName,      // palettized, but the name gives no file name that fits
  kWriteFailed,  // palettized, but the PCX could not be written
};

struct FrameResult {
  FrameStatus status = FrameStatus::kNotRendered;
  int rowsDone = 0;        // rows palettized in the frame
  std::string pcxPath;     // the composed name, when one was composed
  std::string writeError;  // kWriteFailed: the writer's line naming the file and why
};

// One palette index per pixel, row-major from the first delivered row.
using IndexBuffer = std::vector<uint8_t>;

// Threads a caller lends the driver to map a frame's rows on. The module
// lends none and maps every row on the host's thread; the command line keeps
// a few per frame it renders. Progress reports and stop questions stay on the
// calling thread, one per row and in order, whatever the threads.
class RowWorkers {
 public:
  virtual ~RowWorkers() = default;
  // The threads Run uses, the calling thread included.
  virtual int Threads() const = 0;
  // Runs task(item, thread) for every item in 0..count - 1 and returns when
  // all are done; `thread` is 0..Threads() - 1, and no two items run on one
  // thread at the same time.
  virtual void Run(int count, const std::function<void(int item, int thread)>& task) = 0;
};

// What one thread maps rows with.
struct RowLane {
  std::vector<Pixel64> row;  // for a frame with a row transfer
  PaletteMapper mapper;
};

// Row mapping that a caller chooses in place of the lanes' PaletteMappers:
// the command maps with its extras through one. The module sets none, so
// its frames are mapped by the filter's rules alone.
class RowMappers {
 public:
  virtual ~RowMappers() = default;
  // Takes the frame's settings with one mapper per lane, once the frame is
  // known and before any of its rows is reported or mapped; reads the
  // frame's pixels and IDs, never changes them. May throw std::bad_alloc.
  virtual void Prepare(const RendererConfig& config, const FrameView& frame, const IdPlane& ids,
                       int lanes) = 0;
  // PaletteMapper::MapRow's contract on lane `lane`'s mapper, for row y of
  // the frame's `ids`.
  virtual void MapRow(int lane, const IdPlane& ids, int y, int width, Pixel64* pixels,
                      uint8_t* indices) = 0;
};

// Buffers that a caller rendering a sequence keeps across frames. After a
// frame `indices` holds its index image (complete rows only). Each lane's
// mapper keeps its prepared searches for the next frame with the same
// palette.
struct FrameBuffers {
  IndexBuffer indices;
  std::vector<RowLane> lanes;     // one per thread mapping rows
  RowWorkers* workers = nullptr;  // lent threads; none: rows are mapped by the caller
  RowMappers* mappers = nullptr;  // none: each lane's PaletteMapper
};

// Saves a finished frame's index image; WritePcx's signature and contract.
using PcxWriteFunction = std::string (*)(const std::string& path, const uint8_t* indices, int width,
                                         int height, const uint8_t* palette);

// `write` is WritePcx; a harness that must not create files under names
// taken from an arbitrary settings block passes one that keeps the bytes.
FrameResult RenderFrame(const RendererConfig& config, const FrameView& frame, RowProgress& progress,
                        FrameBuffers& buffers, PcxWriteFunction write = WritePcx);

}  // namespace selvo
