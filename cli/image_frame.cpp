#include "cli/image_frame.h"

#include <algorithm>

namespace selvo {

std::string NarrowIds(const IdImage& ids, int selector, const std::string& source,
                      FrameIds& channel) {
  channel.selector = selector;
  if (selector != kMaterialEffectsSelector) {
    channel.words = ids.ids;
    return "";
  }
  channel.bytes.resize(ids.ids.size());
  for (std::size_t p = 0; p < ids.ids.size(); ++p) {
    if (ids.ids[p] > 255) {
      return source + ": ID " + std::to_string(ids.ids[p]) + " at pixel (" +
             std::to_string(p % ids.width) + ", " + std::to_string(p / ids.width) +
             ") does not fit the material effects channel (0..255)";
    }
    channel.bytes[p] = uint8_t(ids.ids[p]);
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

const void* ImageFrame::IdChannel(int selector) {
  if (selector != ids_.selector) return nullptr;
  return selector == kMaterialEffectsSelector ? static_cast<const void*>(ids_.bytes.data())
                                              : static_cast<const void*>(ids_.words.data());
}

bool ImageFrame::InRow(int x, int y, int count) const {
  return x >= 0 && y >= 0 && count >= 0 && y < color_.height && x <= color_.width - count;
}

bool ImageFrame::FetchPixels(int x, int y, int count, Pixel64* destination) {
  if (!InRow(x, y, count)) return false;
  const Pixel64* row = color_.pixels.data() + std::size_t(y) * color_.width;
  std::copy(row + x, row + x + count, destination);
  return true;
}

void ImageFrame::StorePixels(int x, int y, int count, const Pixel64* source) {
  if (!InRow(x, y, count)) return;
  Pixel64* row = color_.pixels.data() + std::size_t(y) * color_.width;
  std::copy(source, source + count, row + x);
}

}  // namespace selvo
