// `selvo config init|show|set`: settings files without a dialog.
#pragma once

#include <string>
#include <vector>

#include "core/renderer_config.h"

namespace selvo {

// Applies one `config set` option ("--source", "--output", "--method",
// "--range", "--dither", "--palette") to the block; "" or the problem.
std::string ApplySetting(RendererConfig& config, const std::string& option,
                         const std::string& value);

// Runs `selvo config ...` with the arguments after "config"; the exit status.
int RunConfigCommand(const std::vector<std::string>& args);

}  // namespace selvo
