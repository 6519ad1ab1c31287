// docs/command.md quotes the command's help pages; they must not drift apart.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/terminal/help_text.h"

namespace selvo {
namespace {

std::string CommandPage() {
  std::ifstream in(SELVO_COMMAND_PAGE);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CommandPage, QuotesEveryHelpPageAsTheCommandPrintsIt) {
  const std::string page = CommandPage();
  ASSERT_FALSE(page.empty());
  EXPECT_NE(page.find(std::string("$ selvo --help\n") + kMainHelp), std::string::npos);
  EXPECT_NE(page.find(std::string("$ selvo render --help\n") + kRenderHelp), std::string::npos);
  EXPECT_NE(page.find(std::string("$ selvo config --help\n") + kConfigHelp), std::string::npos);
  EXPECT_NE(page.find(std::string("$ selvo sheet --help\n") + kSheetHelp), std::string::npos);
}

}  // namespace
}  // namespace selvo
