#include "ui/chooser_names.h"

namespace selvo::ui {
namespace {

constexpr std::string_view kPcx = ".pcx";

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Case-insensitive for ASCII only. That is exact for a multibyte code page
// too: "." is never the trail byte of a double-byte character, so a name
// whose last four bytes read ".pcx" really ends in those four characters.
bool EndsWithPcx(std::string_view name) {
  if (name.size() < kPcx.size()) return false;
  const std::string_view tail = name.substr(name.size() - kPcx.size());
  for (std::size_t i = 0; i < kPcx.size(); ++i)
    if (AsciiLower(tail[i]) != kPcx[i]) return false;
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<std::string> IfItFits(std::string name) {
  if (name.size() > kMaxChosenName) return std::nullopt;
  return name;
}

}  // namespace

std::string WithPcxExtension(std::string_view name) {
  std::string result(name);
  if (!EndsWithPcx(name)) result += kPcx;
  return result;
}

std::optional<std::string> OutputBaseName(std::string_view chosen) {
  std::string name = WithPcxExtension(chosen);
  // The first "." of the whole path, directories included, always exists
  // once the extension rule has run.
  std::size_t cut = name.find('.');
  while (cut > 0 && IsDigit(name[cut - 1])) --cut;
  name.replace(cut, std::string::npos, kPcx);
  return IfItFits(std::move(name));
}

std::optional<std::string> PaletteFileName(std::string_view chosen) {
  return IfItFits(WithPcxExtension(chosen));
}

}  // namespace selvo::ui
