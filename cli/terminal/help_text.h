// The command's help pages; docs/command.md quotes them.
#pragma once

namespace selvo {

extern const char kMainHelp[];
extern const char kRenderHelp[];
extern const char kConfigHelp[];
extern const char kSheetHelp[];

}  // namespace selvo
