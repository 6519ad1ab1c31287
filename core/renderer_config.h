// The filter's persisted settings: one 1084-byte block that hosts store and
// hand back verbatim, so its byte layout is a file format and never changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace selvo {

constexpr uint32_t kConfigVersion = 110;
constexpr std::size_t kConfigSize = 1084;
constexpr std::size_t kNameSize = 256;     // at most 255 characters + NUL
constexpr std::size_t kPaletteSize = 768;  // 256 entries of R, G, B
constexpr int kRangeCount = 16;

// The two selector fields store the setup dialog's radio-button ids
// themselves; every consumer tests for the first id of a pair and treats
// anything else as the second.
constexpr int32_t kMaterialEffectsChannel = 1001;
constexpr int32_t kObjectChannel = 1002;
constexpr int32_t kUniformDistribution = 1023;
constexpr int32_t kFindMostSimilarColor = 1024;

// The per-pixel ID channel whose IDs pick each pixel's palette band: the
// material effects channel holds a byte per pixel, the object channel a
// 16-bit value.
enum class IdChannel { kMaterialEffects, kObject };

// One ID's band of the palette. From may exceed To; the mapping gives such
// ranges a meaning of their own.
struct ColorRange {
  uint8_t from = 0;
  uint8_t to = 0;
  uint8_t dither = 0;  // 0 off, anything else on
};

struct RendererConfig {
  uint32_t version = kConfigVersion;
  int32_t sourceChannel = kMaterialEffectsChannel;
  // Kept as the raw 256 bytes so that a stored block round-trips exactly,
  // including whatever follows the terminator.
  char outputName[kNameSize] = "slvo.pcx";
  int32_t method = kUniformDistribution;
  uint8_t palette[kPaletteSize];
  ColorRange ranges[kRangeCount];

  RendererConfig();  // the defaults, with the 3-3-2 palette
};

// Block offsets, each field once.
namespace config_offset {
constexpr std::size_t kVersion = 0;
constexpr std::size_t kSourceChannel = 4;
constexpr std::size_t kOutputName = 8;
constexpr std::size_t kMethod = 264;
constexpr std::size_t kPalette = 268;
constexpr std::size_t kRanges = 1036;  // 16 x (From, To, Dither)
}  // namespace config_offset

// Entry i of the default palette: a 3-3-2 colour cube.
void FillDefaultPalette(uint8_t palette[kPaletteSize]);

constexpr uint32_t GetConfigSize() { return kConfigSize; }

// Writes the block's 1084 bytes. A null destination copies nothing: false.
bool SaveConfig(const RendererConfig& config, void* destination);

// Takes a stored block whole when its version (read unsigned) is at most 110;
// a newer block, or a null source, leaves `config` untouched: false.
bool LoadConfig(RendererConfig& config, const void* source);

// Exactly 1001 selects the material effects channel, anything else objects.
IdChannel SelectedIdChannel(const RendererConfig& config);
bool UsesUniformDistribution(const RendererConfig& config);

// The configured name up to its terminator, or nothing when the 256 bytes
// hold no terminator (a block from elsewhere may lack one).
std::optional<std::string_view> OutputName(const RendererConfig& config);

// Stores `name` with its terminator; false (and nothing changed) when it
// does not fit 255 characters.
bool SetOutputName(RendererConfig& config, std::string_view name);

// The configured name cut at its first "." (folders included), then the
// frame number as "%04d.pcx". Empty when the result would pass 255
// characters.
std::string ComposeOutputName(std::string_view configuredName, int frameNumber);

}  // namespace selvo
