// selvo: the command-line renderer. Dispatches to the commands.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/config_command.h"
#include "cli/help_text.h"
#include "cli/render_command.h"
#include "selvo_version.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(selvo::kMainHelp, stderr);
    return 2;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "render") return selvo::RunRenderCommand(rest);
  if (command == "config") return selvo::RunConfigCommand(rest);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(selvo::kMainHelp, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("selvo %s\n", SELVO_VERSION);
    return 0;
  }
  std::fprintf(stderr, "selvo: unknown command %s\nTry 'selvo --help'.\n", command.c_str());
  return 2;
}
