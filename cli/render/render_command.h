// `selvo render`: one frame or a numbered sequence through the core.
#pragma once

#include <string>
#include <vector>

namespace selvo {

// Runs `selvo render ...` with the arguments after "render"; the exit status:
// 0 done, 1 a frame failed, 2 bad usage, 130 stopped by Ctrl-C.
int RunRenderCommand(const std::vector<std::string>& args);

}  // namespace selvo
