// Settings files: the module's 1084-byte settings block, byte for byte, so a
// file made here is what the module stores and the other way round.
#pragma once

#include <string>

#include "core/renderer_config.h"

namespace selvo {

// "" or a one-line error naming the file: it cannot be read, is not exactly
// 1084 bytes, or carries a version above 110 that the filter refuses.
std::string LoadSettingsFile(const std::string& path, RendererConfig& config);

// Written to a temporary file and renamed into place.
std::string SaveSettingsFile(const std::string& path, const RendererConfig& config);

}  // namespace selvo
