// Reads a fuzz input front to back, little-endian; past its end every byte
// reads 0, so that a short input is still a whole case.
#pragma once

#include <cstddef>
#include <cstdint>

struct ByteReader {
  const uint8_t* data;
  std::size_t size;
  std::size_t at = 0;

  bool More() const { return at < size; }
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  uint16_t U16() {
    const unsigned low = Byte();
    return uint16_t(low | Byte() << 8);
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | uint32_t(U16()) << 16;
  }
};
