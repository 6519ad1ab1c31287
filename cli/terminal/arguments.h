// Small helpers for reading command-line arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace selvo {

// Walks arguments in order, taking "--name value" and "--name=value" alike.
class OptionReader {
 public:
  explicit OptionReader(std::vector<std::string> args) : args_(std::move(args)) {}

  // Moves to the next argument; false when there is none.
  bool Next();
  // "--color" for an option, the text itself for a positional argument.
  const std::string& Name() const { return name_; }
  bool IsOption() const { return name_.size() > 1 && name_[0] == '-'; }
  // The current option's value; nothing when it has none.
  std::optional<std::string> Value();
  // True when the current option was given a value it does not take.
  bool HasInlineValue() const { return inlineValue_.has_value(); }

 private:
  std::vector<std::string> args_;
  std::size_t next_ = 0;
  std::string name_;
  std::optional<std::string> inlineValue_;
};

}  // namespace selvo
