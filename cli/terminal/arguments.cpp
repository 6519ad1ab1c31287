#include "cli/terminal/arguments.h"

namespace selvo {

bool OptionReader::Next() {
  if (next_ >= args_.size()) return false;
  name_ = args_[next_++];
  inlineValue_.reset();
  const std::size_t equals = name_.find('=');
  if (name_.rfind("--", 0) == 0 && equals != std::string::npos) {
    inlineValue_ = name_.substr(equals + 1);
    name_.resize(equals);
  }
  return true;
}

std::optional<std::string> OptionReader::Value() {
  if (inlineValue_) {
    std::optional<std::string> value = std::move(inlineValue_);
    inlineValue_.reset();
    return value;
  }
  if (next_ >= args_.size()) return std::nullopt;
  return args_[next_++];
}

}  // namespace selvo
