// selvo: the command-line renderer. Dispatches to the commands.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/config_command.h"
#include "cli/help_text.h"
#include "cli/printable.h"
#include "cli/render_command.h"
#include "cli/standard_streams.h"
#include "cli/stop_signals.h"

#ifndef SELVO_VERSION
#define SELVO_VERSION "unknown"
#endif

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
  if (command == "--help" || command == "-h" || command == "help") {
    selvo::WriteText(stdout, selvo::kMainHelp);
    return 0;
  }
  if (command == "--version") {
    selvo::WriteLine(stdout, "selvo " SELVO_VERSION);
    return 0;
  }
  std::fprintf(stderr, "selvo: unknown command %s\nTry 'selvo --help'.\n",
               selvo::Printable(command).c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  selvo::CatchStopSignals();
  const int status = RunCommand(std::vector<std::string>(argv + 1, argv + argc));
  return selvo::FinishStandardStreams(status);
}
