#include "cli/render/image_frame.h"

namespace selvo {

FrameView ImageFrame(ColorImage& color, const FrameIds& ids, IdChannel channel, int frameNumber) {
  FrameView frame;
  frame.width = color.width;
  frame.height = color.height;
  frame.pixels = color.pixels.data();
  frame.frameNumber = frameNumber;
  IdPlane plane;
  if (!ids.bytes.empty()) plane.bytes = ids.bytes.data();
  else plane.words = ids.words.data();
  (channel == IdChannel::kMaterialEffects ? frame.materialIds : frame.objectIds) = plane;
  return frame;
}

}  // namespace selvo
