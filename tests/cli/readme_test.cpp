// README.md quotes the command's help pages; they must not drift apart.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/help_text.h"

namespace selvo {
namespace {

std::string Readme() {
  std::ifstream in(SELVO_README);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Readme, QuotesEveryHelpPageAsTheCommandPrintsIt) {
  const std::string readme = Readme();
  ASSERT_FALSE(readme.empty());
  EXPECT_NE(readme.find(std::string("$ selvo --help\n") + kMainHelp), std::string::npos);
  EXPECT_NE(readme.find(std::string("$ selvo render --help\n") + kRenderHelp), std::string::npos);
  EXPECT_NE(readme.find(std::string("$ selvo config --help\n") + kConfigHelp), std::string::npos);
}

}  // namespace
}  // namespace selvo
