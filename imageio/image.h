// Decoded input images, in the forms the frame driver consumes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "core/map_pixel.h"

namespace selvo {

// Frames and PCX files hold their size in 16 bits: larger images are refused
// before their pixels are read.
constexpr int kMaxImageSide = 65535;

struct ColorImage {
  int width = 0;
  int height = 0;
  std::vector<Pixel64> pixels;  // row-major from the top row
};

// Whole, non-negative IDs of at most 16 bits; whether they fit the channel
// the settings select is checked when the frame is put together.
struct IdImage {
  int width = 0;
  int height = 0;
  std::vector<uint16_t> ids;
};

// A plane of up to this many bytes is set aside whole before its rows
// arrive: memory that is set aside costs nothing until rows are stored in
// it. Larger planes grow with the rows that really arrive, so that a damaged
// header cannot set gigabytes aside.
constexpr std::size_t kEagerPlaneBytes = std::size_t(1) << 29;

// Asks for the whole 2 MB pages inside a large plane to be huge pages.
// Fresh memory costs a page fault per page first touched; on virtual
// machines that cost, at 4 KB pages, comes near that of decoding a frame.
inline void AdviseHugePages(void* data, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHugePage = std::uintptr_t(1) << 21;
  const std::uintptr_t start = (std::uintptr_t(data) + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (std::uintptr_t(data) + bytes) & ~(kHugePage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// Sets `plane` aside for a frame of width x height values when that is small
// enough to claim up front (see kEagerPlaneBytes), and empties it.
template <typename T>
void StartPlane(std::vector<T>& plane, int width, int height) {
  plane.clear();
  const std::size_t whole = std::size_t(width) * std::size_t(height);
  if (whole * sizeof(T) <= kEagerPlaneBytes) {
    plane.reserve(whole);
    AdviseHugePages(plane.data(), whole * sizeof(T));
  }
}

// Appends a frame row of `width` blank values to `plane` and returns it.
// Planes grow geometrically, and never past the whole frame.
template <typename T>
T* AppendRow(std::vector<T>& plane, int width, int height) {
  const std::size_t whole = std::size_t(width) * height;
  const std::size_t size = plane.size() + width;
  if (size > plane.capacity()) plane.reserve(std::min(whole, std::max(size, 2 * plane.capacity())));
  plane.resize(size);
  return plane.data() + size - width;
}

}  // namespace selvo
