// Helpers shared by the Windows tests: finding the module beside the test
// program, settings blocks built byte by byte, and reading back files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/loaded_module.h"
#include "host/sdk/image_filter.h"
#include "testing/block_bytes.h"

namespace wintest {

// Selvo.flt, built into the same folder as this program.
inline std::string ModulePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "Selvo.flt";
}

// Settings-block offsets as stored by hosts.
constexpr size_t kBlockSize = 1084;
constexpr size_t kVersionAt = 0;
constexpr size_t kSourceAt = 4;
constexpr size_t kNameAt = 8;
constexpr size_t kMethodAt = 264;
constexpr size_t kPaletteAt = 268;
constexpr size_t kRangesAt = 1036;

using selvo::test::Block;
using selvo::test::PutU32;
using selvo::test::U32At;

inline void PutName(Block& block, const std::string& name) {
  std::fill(block.begin() + kNameAt, block.begin() + kNameAt + 256, 0);
  std::copy(name.begin(), name.end(), block.begin() + kNameAt);
}

inline void PutRange(Block& block, int id, uint8_t from, uint8_t to, uint8_t dither) {
  block[kRangesAt + 3 * id] = from;
  block[kRangesAt + 3 * id + 1] = to;
  block[kRangesAt + 3 * id + 2] = dither;
}

// Loads the module and creates a filter through its descriptor, as a host.
struct LoadedFilter {
  LoadedModule module;
  FilterPtr filter;

  bool Load() {
    std::string error;
    if (!module.Load(ModulePath(), error)) return false;
    ClassDesc* descriptor = module.LibClassDesc(0);
    if (descriptor == nullptr) return false;
    filter = CreateFilter(*descriptor);
    return filter != nullptr;
  }

  Block Save() {
    Block block(kBlockSize);
    filter->SaveConfig(block.data());
    return block;
  }
};

inline bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace wintest
