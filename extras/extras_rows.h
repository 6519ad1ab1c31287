// The frame driver's row mapping with the extras: one ExtrasMapper per lane,
// and a frame's outlines found once, before its rows, for all of them.
#pragma once

#include <vector>

#include "core/frame_driver.h"
#include "extras/extras.h"
#include "extras/extras_mapper.h"
#include "extras/frame_passes.h"

namespace selvo {

// Kept across the frames of a sequence, so that each lane's searches are
// prepared once while the palette stays the same. Frames handed out a row
// at a time (the module's) are never given to it: outlines need the frame
// in memory.
class ExtrasRows : public RowMappers {
 public:
  explicit ExtrasRows(const Extras& extras) : extras_(extras) {}

  void Prepare(const RendererConfig& config, const FrameView& frame, const IdPlane& ids,
               int lanes) override;
  void MapRow(int lane, const IdPlane& ids, int y, int width, Pixel64* pixels,
              uint8_t* indices) override;

 private:
  Extras extras_;
  std::vector<ExtrasMapper> mappers_;
  FrameOutlines outlines_;
};

}  // namespace selvo
