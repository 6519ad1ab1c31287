// Animated GIF output through giflib: frames of one size sharing one
// palette, looping forever.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace selvo {

struct GifAnimation {
  int width = 0;  // every frame's, and the logical screen's
  int height = 0;
  const uint8_t* palette = nullptr;    // 256 entries: the global colour table
  std::vector<const uint8_t*> frames;  // W x H indices each
  std::vector<int> delays;             // per frame, in hundredths of a second
  std::optional<uint8_t> transparent;  // marked in each frame's control block
};

// Writes the animation under a temporary name and renames it into place:
// "" or one line naming the file and the reason. With a transparent index
// each frame is disposed to the background before the next, so that its
// transparent pixels show what lies behind the animation rather than the
// frame before.
std::string WriteGifAnimation(const std::string& path, const GifAnimation& animation);

}  // namespace selvo
