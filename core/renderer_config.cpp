#include "core/renderer_config.h"

#include <cstdio>
#include <cstring>

namespace selvo {
namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

}  // namespace

void FillDefaultPalette(uint8_t palette[kPaletteSize]) {
  const double step = 36.42857142857143;  // 255 / 7
  for (int i = 0; i < 256; ++i) {
    palette[3 * i + 0] = uint8_t(int(((i >> 5) & 7) * step));
    palette[3 * i + 1] = uint8_t(int(((i >> 2) & 7) * step));
    palette[3 * i + 2] = uint8_t((i & 3) * 85);
  }
}

RendererConfig::RendererConfig() { FillDefaultPalette(palette); }

bool SaveConfig(const RendererConfig& config, void* destination) {
  if (destination == nullptr) return false;
  auto* out = static_cast<uint8_t*>(destination);
  WriteU32(out + config_offset::kVersion, config.version);
  WriteU32(out + config_offset::kSourceChannel, uint32_t(config.sourceChannel));
  std::memcpy(out + config_offset::kOutputName, config.outputName, kNameSize);
  WriteU32(out + config_offset::kMethod, uint32_t(config.method));
  std::memcpy(out + config_offset::kPalette, config.palette, kPaletteSize);
  for (int id = 0; id < kRangeCount; ++id) {
    uint8_t* range = out + config_offset::kRanges + 3 * id;
    range[0] = config.ranges[id].from;
    range[1] = config.ranges[id].to;
    range[2] = config.ranges[id].dither;
  }
  return true;
}

bool LoadConfig(RendererConfig& config, const void* source) {
  if (source == nullptr) return false;
  const auto* in = static_cast<const uint8_t*>(source);
  // Unsigned on purpose: a version with its top bit set is "newer", not
  // negative, and is refused like any other block from a later release.
  const uint32_t version = ReadU32(in + config_offset::kVersion);
  if (version > kConfigVersion) return false;
  config.version = version;
  config.sourceChannel = int32_t(ReadU32(in + config_offset::kSourceChannel));
  std::memcpy(config.outputName, in + config_offset::kOutputName, kNameSize);
  config.method = int32_t(ReadU32(in + config_offset::kMethod));
  std::memcpy(config.palette, in + config_offset::kPalette, kPaletteSize);
  for (int id = 0; id < kRangeCount; ++id) {
    const uint8_t* range = in + config_offset::kRanges + 3 * id;
    config.ranges[id] = ColorRange{range[0], range[1], range[2]};
  }
  return true;
}

IdChannel SelectedIdChannel(const RendererConfig& config) {
  return config.sourceChannel == kMaterialEffectsChannel ? IdChannel::kMaterialEffects
                                                         : IdChannel::kObject;
}

bool UsesUniformDistribution(const RendererConfig& config) {
  return config.method == kUniformDistribution;
}

std::optional<std::string_view> OutputName(const RendererConfig& config) {
  const void* end = std::memchr(config.outputName, '\0', kNameSize);
  if (end == nullptr) return std::nullopt;
  return std::string_view(config.outputName, static_cast<const char*>(end) - config.outputName);
}

bool SetOutputName(RendererConfig& config, std::string_view name) {
  if (name.size() >= kNameSize) return false;
  std::memset(config.outputName, 0, kNameSize);
  std::memcpy(config.outputName, name.data(), name.size());
  return true;
}

std::string ComposeOutputName(std::string_view configuredName, int frameNumber) {
  const std::size_t dot = configuredName.find('.');
  std::string name(configuredName.substr(0, dot));
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "%04d.pcx", frameNumber);
  name += suffix;
  if (name.size() > kNameSize - 1) return "";
  return name;
}

}  // namespace selvo
