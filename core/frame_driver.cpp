#include "core/frame_driver.h"

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
    buffers.row.assign(std::size_t(width), Pixel64{});
    buffers.indices.assign(std::size_t(width) * std::size_t(height), 0);
    buffers.mapper.Prepare(config);
    return true;
  } catch (const std::bad_alloc&) {
    buffers = FrameBuffers{};
    return false;
  }
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

  int32_t abortFlag = 0;
  for (int y = 0; y < height; ++y) {
    progress.ReportProgress(y, height - 1);
    progress.QueryAbort(&abortFlag);
    if (abortFlag != 0) {
      result.status = FrameStatus::kAborted;
      return result;
    }
    Pixel64* pixels = buffers.row.data();
    if (!frame->FetchPixels(0, y, width, pixels)) {
      result.status = FrameStatus::kFetchFailed;
      return result;
    }
    MapRow(buffers.mapper, channel, selector, y, width, pixels,
           buffers.indices.data() + std::size_t(y) * width);
    frame->StorePixels(0, y, width, pixels);
    result.rowsDone = y + 1;
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
