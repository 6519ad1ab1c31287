// The file choosers' name rules, as plain string operations on the name the
// system file dialog returned.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace selvo::ui {

// Longest name the choosers and the settings block hold (plus a terminator).
constexpr std::size_t kMaxChosenName = 255;

// Appends ".pcx" unless the name already ends in it, compared without
// regard to case; a name ending in ".PCX" keeps its spelling.
std::string WithPcxExtension(std::string_view name);

// The base name that frame numbers are added to: with the extension rule
// applied, everything from the first "." of the whole path on, and the run
// of digits just before it, become ".pcx" ("D:\render\shot0012.pcx" gives
// "D:\render\shot.pcx"). Nothing when the result would not fit 255
// characters: the stored name is then left as it was.
std::optional<std::string> OutputBaseName(std::string_view chosen);

// The file the palette is read from: the extension rule alone. Nothing when
// it would not fit 255 characters.
std::optional<std::string> PaletteFileName(std::string_view chosen);

}  // namespace selvo::ui
