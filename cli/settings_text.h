// Settings blocks shown to people (plain text) and to programs (JSON).
#pragma once

#include <string>

#include "core/renderer_config.h"

namespace selvo {

std::string FormatSettingsText(const RendererConfig& config);
std::string FormatSettingsJson(const RendererConfig& config);

}  // namespace selvo
