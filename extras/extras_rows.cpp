#include "extras/extras_rows.h"

namespace selvo {

void ExtrasRows::Prepare(const RendererConfig& config, const FrameView& frame, const IdPlane& ids,
                         int lanes) {
  mappers_.resize(std::size_t(lanes));
  for (ExtrasMapper& mapper : mappers_) mapper.Prepare(config, extras_);
  const bool outlined = mappers_[0].HasOutlines() && frame.pixels != nullptr;
  if (outlined && ids.bytes != nullptr)
    mappers_[0].FindOutlines(ids.bytes, frame.width, frame.height, frame.pixels, outlines_);
  else if (outlined)
    mappers_[0].FindOutlines(ids.words, frame.width, frame.height, frame.pixels, outlines_);
  for (ExtrasMapper& mapper : mappers_) mapper.DrawOutlinesFrom(outlined ? &outlines_ : nullptr);
}

void ExtrasRows::MapRow(int lane, const IdPlane& ids, int y, int width, Pixel64* pixels,
                        uint8_t* indices) {
  ExtrasMapper& mapper = mappers_[std::size_t(lane)];
  const std::size_t rowStart = std::size_t(y) * width;
  if (ids.bytes != nullptr) mapper.MapRow(ids.bytes + rowStart, y, width, pixels, indices);
  else mapper.MapRow(ids.words + rowStart, y, width, pixels, indices);
}

}  // namespace selvo
