// `selvo sheet`: a sequence of PCX frames packed into one indexed PNG sprite
// sheet (with its JSON) and/or an animated GIF.
#pragma once

#include <string>
#include <vector>

namespace selvo {

// Runs `selvo sheet ...` with the arguments after "sheet"; the exit status:
// 0 done, 1 a file could not be read or written, 2 bad usage.
int RunSheetCommand(const std::vector<std::string>& args);

}  // namespace selvo
