#include "core/frame_driver.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "pcx/pcx_writer.h"

namespace selvo {
namespace {

// The plane of the channel the settings select.
const IdPlane& SelectedIds(const FrameView& frame, const RendererConfig& config) {
  return SelectedIdChannel(config) == IdChannel::kMaterialEffects ? frame.materialIds
                                                                  : frame.objectIds;
}

// Maps row y of the frame in place with the row's IDs, on lane `lane`.
void MapRow(FrameBuffers& buffers, int lane, const IdPlane& ids, int y, int width, Pixel64* pixels,
            uint8_t* indexRow) {
  if (buffers.mappers != nullptr) {
    buffers.mappers->MapRow(lane, ids, y, width, pixels, indexRow);
    return;
  }
  PaletteMapper& mapper = buffers.lanes[lane].mapper;
  const std::size_t rowStart = std::size_t(y) * width;
  if (ids.bytes != nullptr) mapper.MapRow(ids.bytes + rowStart, y, width, pixels, indexRow);
  else mapper.MapRow(ids.words + rowStart, y, width, pixels, indexRow);
}

bool PrepareBuffers(FrameBuffers& buffers, const RendererConfig& config, const FrameView& frame,
                    const IdPlane& ids) {
  try {
    const std::size_t rowBuffer = frame.rowTransfer != nullptr ? std::size_t(frame.width) : 0;
    buffers.lanes.resize(buffers.workers ? std::size_t(buffers.workers->Threads()) : 1);
    for (RowLane& lane : buffers.lanes) {
      lane.row.assign(rowBuffer, Pixel64{});
      if (buffers.mappers == nullptr) lane.mapper.Prepare(config);
    }
    if (buffers.mappers != nullptr)
      buffers.mappers->Prepare(config, frame, ids, int(buffers.lanes.size()));
    buffers.indices.assign(std::size_t(frame.width) * std::size_t(frame.height), 0);
    return true;
  } catch (const std::bad_alloc&) {
    RowWorkers* const workers = buffers.workers;
    RowMappers* const mappers = buffers.mappers;
    buffers = FrameBuffers{};
    buffers.workers = workers;
    buffers.mappers = mappers;
    return false;
  }
}

// Rows [first, last) of the frame mapped with one lane: in place, or
// fetched into the lane's row and handed back. False when a row cannot be
// fetched.
bool MapRowsAlone(const FrameView& frame, const IdPlane& ids, int first, int last, int lane,
                  FrameBuffers& buffers) {
  const int width = frame.width;
  for (int y = first; y < last; ++y) {
    Pixel64* pixels = buffers.lanes[lane].row.data();
    if (frame.rowTransfer == nullptr) pixels = frame.pixels + std::size_t(y) * width;
    else if (!frame.rowTransfer->FetchRow(y, pixels)) return false;
    MapRow(buffers, lane, ids, y, width, pixels, buffers.indices.data() + std::size_t(y) * width);
    if (frame.rowTransfer != nullptr) frame.rowTransfer->StoreRow(y, pixels);
  }
  return true;
}

// Rows handed to a thread at a time, and rows whose progress is reported
// before the threads map them: enough to keep every thread busy between
// the reports, few enough that the bar and Ctrl-C follow closely.
constexpr int kRowsPerItem = 4;
constexpr int kRowsPerBand = 64;

bool MapRows(const FrameView& frame, const IdPlane& ids, int first, int last,
             FrameBuffers& buffers) {
  if (buffers.lanes.size() == 1) return MapRowsAlone(frame, ids, first, last, 0, buffers);
  std::atomic<bool> fetched{true};
  const int items = (last - first + kRowsPerItem - 1) / kRowsPerItem;
  buffers.workers->Run(items, [&](int item, int thread) {
    const int top = first + item * kRowsPerItem;
    if (!MapRowsAlone(frame, ids, top, std::min(last, top + kRowsPerItem), thread, buffers))
      fetched = false;
  });
  return fetched;
}

}  // namespace

FrameResult RenderFrame(const RendererConfig& config, const FrameView& frame, RowProgress& progress,
                        FrameBuffers& buffers, PcxWriteFunction write) {
  FrameResult result;
  const int width = frame.width;
  const int height = frame.height;
  // A frame without pixels cannot make a PCX: leave it as it is.
  if (width == 0 || height == 0) return result;
  const IdPlane& ids = SelectedIds(frame, config);
  if (ids.Empty() || !PrepareBuffers(buffers, config, frame, ids)) return result;

  // Alone, the driver reports each row, asks whether to stop and maps it,
  // row by row. With lent threads it does the same for a band of rows at a
  // time: the band's reports and queries first, then its rows on the threads.
  const int band = buffers.lanes.size() > 1 ? kRowsPerBand : 1;
  bool stopped = false;
  for (int first = 0; first < height;) {
    int last = std::min(height, first + band);
    for (int y = first; y < last; ++y) {
      progress.ReportProgress(y, height - 1);
      stopped = progress.StopRequested();
      if (stopped) {
        last = y;
        break;
      }
    }
    if (!MapRows(frame, ids, first, last, buffers)) {
      result.status = FrameStatus::kFetchFailed;
      return result;
    }
    result.rowsDone = first = last;
    if (stopped) {
      result.status = FrameStatus::kAborted;
      return result;
    }
  }

  const std::optional<std::string_view> name = OutputName(config);
  result.pcxPath = name ? ComposeOutputName(*name, frame.frameNumber) : "";
  if (result.pcxPath.empty()) {
    result.status = FrameStatus::kBadName;
    return result;
  }
  result.writeError = write(result.pcxPath, buffers.indices.data(), width, height, config.palette);
  result.status = result.writeError.empty() ? FrameStatus::kWritten : FrameStatus::kWriteFailed;
  return result;
}

}  // namespace selvo
