// selvo: the command-line renderer. Dispatches to the commands.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/config/config_command.h"
#include "cli/render/render_command.h"
#include "cli/sheet/sheet_command.h"
#include "cli/terminal/help_text.h"
#include "cli/terminal/standard_streams.h"
#include "cli/terminal/stop_signals.h"
#include "selvo_version.h"

namespace {

int RunCommand(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fputs(selvo::kMainHelp, stderr);
    return 2;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "render") return selvo::RunRenderCommand(rest);
  if (command == "config") return selvo::RunConfigCommand(rest);
  if (command == "sheet") return selvo::RunSheetCommand(rest);
  if (command == "--help" || command == "-h" || command == "help") {
    selvo::WriteText(stdout, selvo::kMainHelp);
    return 0;
  }
  if (command == "--version") {
    selvo::WriteLine(stdout, "selvo " SELVO_VERSION);
    return 0;
  }
  selvo::PrintError("unknown command " + command);
  std::fputs("Try 'selvo --help'.\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  selvo::CatchStopSignals();
  const int status = RunCommand(std::vector<std::string>(argv + 1, argv + argc));
  return selvo::FinishStandardStreams(status);
}
