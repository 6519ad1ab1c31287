#include "core/frame_driver.h"

#include <new>

#include "pcx/pcx_writer.h"

namespace selvo {
namespace {

// The plane of the channel the settings select.
const IdPlane& SelectedIds(const FrameView& frame, const RendererConfig& config) {
  return IdChannelSelector(config) == kMaterialEffectsSelector ? frame.materialIds
                                                               : frame.objectIds;
}

// Maps row y of the frame in place with the row's IDs.
void MapRow(PaletteMapper& mapper, const IdPlane& ids, int y, int width, Pixel64* pixels,
            uint8_t* indexRow) {
  const std::size_t rowStart = std::size_t(y) * width;
  if (ids.bytes != nullptr)
    mapper.MapRow(ids.bytes + rowStart, y, width, pixels, indexRow);
  else
    mapper.MapRow(ids.words + rowStart, y, width, pixels, indexRow);
}

bool PrepareBuffers(FrameBuffers& buffers, const RendererConfig& config, const FrameView& frame) {
  try {
    buffers.row.assign(frame.rowTransfer != nullptr ? std::size_t(frame.width) : 0, Pixel64{});
    buffers.indices.assign(std::size_t(frame.width) * std::size_t(frame.height), 0);
    buffers.mapper.Prepare(config);
    return true;
  } catch (const std::bad_alloc&) {
    buffers = FrameBuffers{};
    return false;
  }
}

// Row y's pixels to map: the frame's own, or fetched into the row buffer.
Pixel64* RowToMap(const FrameView& frame, int y, FrameBuffers& buffers) {
  if (frame.rowTransfer == nullptr) return frame.pixels + std::size_t(y) * frame.width;
  Pixel64* row = buffers.row.data();
  return frame.rowTransfer->FetchRow(y, row) ? row : nullptr;
}

}  // namespace

FrameResult RenderFrame(const RendererConfig& config, const FrameView& frame,
                        RowProgress& progress, FrameBuffers& buffers,
                        PcxWriteFunction write) {
  FrameResult result;
  const int width = frame.width;
  const int height = frame.height;
  // A frame without pixels cannot make a PCX: leave it as it is.
  if (width == 0 || height == 0) return result;
  const IdPlane& ids = SelectedIds(frame, config);
  if (ids.Empty() || !PrepareBuffers(buffers, config, frame)) return result;

  int32_t abortFlag = 0;
  for (int y = 0; y < height; ++y) {
    progress.ReportProgress(y, height - 1);
    progress.QueryAbort(&abortFlag);
    if (abortFlag != 0) {
      result.status = FrameStatus::kAborted;
      return result;
    }
    Pixel64* pixels = RowToMap(frame, y, buffers);
    if (pixels == nullptr) {
      result.status = FrameStatus::kFetchFailed;
      return result;
    }
    MapRow(buffers.mapper, ids, y, width, pixels, buffers.indices.data() + std::size_t(y) * width);
    if (frame.rowTransfer != nullptr) frame.rowTransfer->StoreRow(y, pixels);
    result.rowsDone = y + 1;
  }

  const std::optional<std::string_view> name = OutputName(config);
  result.pcxPath = name ? ComposeOutputName(*name, frame.frameNumber) : "";
  if (result.pcxPath.empty()) {
    result.status = FrameStatus::kBadName;
    return result;
  }
  const bool written = write(result.pcxPath, buffers.indices.data(), width,
                             height, config.palette);
  result.status = written ? FrameStatus::kWritten : FrameStatus::kWriteFailed;
  return result;
}

}  // namespace selvo
