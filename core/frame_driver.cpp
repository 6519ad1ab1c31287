#include "core/frame_driver.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>

#include "pcx/pcx_writer.h"

namespace selvo {
namespace {

// Maps row y of the frame in place with the row's IDs from the channel.
void MapRow(PaletteMapper& mapper, const void* channel, int selector, int y,
            int width, Pixel64* pixels, uint8_t* indexRow) {
  const std::size_t rowStart = std::size_t(y) * width;
  if (selector == kMaterialEffectsSelector)
    mapper.MapRow(static_cast<const uint8_t*>(channel) + rowStart, y, width, pixels, indexRow);
  else
    mapper.MapRow(static_cast<const uint16_t*>(channel) + rowStart, y, width, pixels, indexRow);
}

bool PrepareBuffers(FrameBuffers& buffers, const RendererConfig& config,
                    int width, int height) {
  try {
    buffers.lanes.resize(buffers.workers ? std::size_t(buffers.workers->Threads()) : 1);
    for (RowLane& lane : buffers.lanes) {
      lane.row.assign(std::size_t(width), Pixel64{});
      lane.mapper.Prepare(config);
    }
    buffers.indices.assign(std::size_t(width) * std::size_t(height), 0);
    return true;
  } catch (const std::bad_alloc&) {
    RowWorkers* const workers = buffers.workers;
    buffers = FrameBuffers{};
    buffers.workers = workers;
    return false;
  }
}

// Rows [first, last) of the frame: fetched, mapped, stored back. False when
// a row cannot be fetched.
bool MapRowsAlone(FrameAccess& frame, const void* channel, int selector, int first, int last,
                  RowLane& lane, IndexBuffer& indices) {
  const int width = int(lane.row.size());
  for (int y = first; y < last; ++y) {
    Pixel64* pixels = lane.row.data();
    if (!frame.FetchPixels(0, y, width, pixels)) return false;
    MapRow(lane.mapper, channel, selector, y, width, pixels,
           indices.data() + std::size_t(y) * width);
    frame.StorePixels(0, y, width, pixels);
  }
  return true;
}

// Rows handed to a thread at a time, and rows whose progress is reported
// before the threads map them: enough to keep every thread busy between
// the reports, few enough that the bar and Ctrl-C follow closely.
constexpr int kRowsPerItem = 4;
constexpr int kRowsPerBand = 64;

bool MapRows(FrameAccess& frame, const void* channel, int selector, int first, int last,
             FrameBuffers& buffers) {
  if (buffers.lanes.size() == 1)
    return MapRowsAlone(frame, channel, selector, first, last, buffers.lanes[0], buffers.indices);
  std::atomic<bool> fetched{true};
  const int items = (last - first + kRowsPerItem - 1) / kRowsPerItem;
  buffers.workers->Run(items, [&](int item, int thread) {
    const int top = first + item * kRowsPerItem;
    if (!MapRowsAlone(frame, channel, selector, top, std::min(last, top + kRowsPerItem),
                      buffers.lanes[thread], buffers.indices))
      fetched = false;
  });
  return fetched;
}

}  // namespace

FrameResult RenderFrame(const RendererConfig& config, FrameAccess* frame,
                        ProgressWindow& progress, FrameBuffers& buffers,
                        PcxWriteFunction write) {
  FrameResult result;
  if (frame == nullptr) return result;

  result.status = FrameStatus::kNotRendered;
  const int width = frame->Width();
  const int height = frame->Height();
  const int selector = IdChannelSelector(config);
  // A frame without pixels cannot make a PCX: leave it as it is.
  if (width == 0 || height == 0) return result;
  const void* channel = frame->IdChannel(selector);
  if (channel == nullptr || !PrepareBuffers(buffers, config, width, height)) return result;

  // Alone, the driver reports each row, asks whether to stop and maps it,
  // row by row. With lent threads it does the same for a band of rows at a
  // time: the band's reports and queries first, then its rows on the threads.
  const int band = buffers.lanes.size() > 1 ? kRowsPerBand : 1;
  int32_t abortFlag = 0;
  for (int first = 0; first < height;) {
    int last = std::min(height, first + band);
    for (int y = first; y < last; ++y) {
      progress.ReportProgress(y, height - 1);
      progress.QueryAbort(&abortFlag);
      if (abortFlag != 0) {
        last = y;
        break;
      }
    }
    if (!MapRows(*frame, channel, selector, first, last, buffers)) {
      result.status = FrameStatus::kFetchFailed;
      return result;
    }
    result.rowsDone = first = last;
    if (abortFlag != 0) {
      result.status = FrameStatus::kAborted;
      return result;
    }
  }

  const std::optional<std::string_view> name = OutputName(config);
  result.pcxPath = name ? ComposeOutputName(*name, frame->FrameNumber()) : "";
  if (result.pcxPath.empty()) {
    result.status = FrameStatus::kBadName;
    return result;
  }
  result.writeError = write(result.pcxPath, buffers.indices.data(), width, height, config.palette);
  result.status = result.writeError.empty() ? FrameStatus::kWritten : FrameStatus::kWriteFailed;
  return result;
}

std::string ComposeOutputName(std::string_view configuredName, int frameNumber) {
  const std::size_t dot = configuredName.find('.');
  std::string name(configuredName.substr(0, dot));
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "%04d.pcx", frameNumber);
  name += suffix;
  if (name.size() > kNameSize - 1) return "";
  return name;
}

}  // namespace selvo
