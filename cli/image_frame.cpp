#include "cli/image_frame.h"

namespace selvo {

std::string CheckIdsFit(const IdImage& ids, int selector, const std::string& source) {
  if (selector != kMaterialEffectsSelector) return "";
  for (std::size_t p = 0; p < ids.ids.size(); ++p) {
    if (ids.ids[p] > 255) {
      return source + ": ID " + std::to_string(ids.ids[p]) + " at pixel (" +
             std::to_string(p % ids.width) + ", " + std::to_string(p / ids.width) +
             ") does not fit the material effects channel (0..255)";
    }
  }
  return "";
}

std::string CheckSameSize(const ColorImage& color, const std::string& colorSource,
                          const IdImage& ids, const std::string& idSource) {
  if (color.width == ids.width && color.height == ids.height) return "";
  return idSource + ": " + std::to_string(ids.width) + " x " + std::to_string(ids.height) +
         " pixels, but " + colorSource + " is " + std::to_string(color.width) + " x " +
         std::to_string(color.height);
}

FrameView ImageFrame(ColorImage& color, const FrameIds& ids, int selector, int frameNumber) {
  FrameView frame;
  frame.width = color.width;
  frame.height = color.height;
  frame.pixels = color.pixels.data();
  frame.frameNumber = frameNumber;
  IdPlane plane;
  if (!ids.bytes.empty()) plane.bytes = ids.bytes.data();
  else plane.words = ids.words.data();
  (selector == kMaterialEffectsSelector ? frame.materialIds : frame.objectIds) = plane;
  return frame;
}

}  // namespace selvo
