// Little-endian 32-bit fields of a settings block, read and written byte by
// byte as hosts store them, so that tests build and inspect blocks without
// the code under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace selvo::test {

using Block = std::vector<uint8_t>;

inline uint32_t U32At(const Block& block, std::size_t offset) {
  return uint32_t(block[offset]) | uint32_t(block[offset + 1]) << 8 |
         uint32_t(block[offset + 2]) << 16 | uint32_t(block[offset + 3]) << 24;
}

inline void PutU32(Block& block, std::size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) block[offset + i] = uint8_t(value >> (8 * i));
}

}  // namespace selvo::test
