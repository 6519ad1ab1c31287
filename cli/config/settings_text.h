// Settings blocks shown to people (plain text) and to programs (JSON).
#pragma once

#include <string>

#include "core/renderer_config.h"

namespace selvo {

// Each names the file that frame `frame` is written to, so front ends show
// the name selvo composes rather than compose it again.
std::string FormatSettingsText(const RendererConfig& config, int frame = 1);
std::string FormatSettingsJson(const RendererConfig& config, int frame = 1);

// The configured name is cut at its first "." even when that lies in a
// folder name, as the plug-in does: "./renders/hero.pcx" at frame 12 is
// written as "0012.pcx". Then a one-line warning naming the file `frame`
// is written to; "" for every other name.
std::string FolderDotWarning(const RendererConfig& config, int frame);

}  // namespace selvo
