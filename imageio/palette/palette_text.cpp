// The palette formats kept as text: GIMP (.gpl), JASC-PAL (.pal) and hex
// lists (.hex), each parsed and written here.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

#include "imageio/palette/palette_files.h"
#include "imageio/palette/palette_pvt.h"
#include "imageio/text.h"

namespace selvo {
namespace {

using palette_text::StartsWith;

std::string AtLine(int line, const std::string& problem) {
  return "line " + std::to_string(line) + ": " + problem;
}
std::string_view Trim(std::string_view text) {
  const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// Numbered lines of a text file, with LF or CR LF endings, trimmed.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {}
  bool Next() {
    if (rest_.empty()) return false;
    const std::size_t end = rest_.find('\n');
    line_ = Trim(rest_.substr(0, end));
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    ++number_;
    return true;
  }
  std::string_view line() const { return line_; }
  int number() const { return number_; }

 private:
  std::string_view rest_;
  std::string_view line_;
  int number_ = 0;
};

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const std::size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

// The first `count` words as levels 0..255; R, G, B go to `color` (a fourth,
// alpha, is checked and dropped).
bool ReadLevels(const std::vector<std::string>& words, std::size_t count, PaletteColor& color) {
  if (words.size() < count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::optional<long> level = ParseInteger(words[i], 0, 255);
    if (!level) return false;
    if (i < 3) color[i] = uint8_t(*level);
  }
  return true;
}

// One line for each of the 256 entries: `format` takes R, G, B and, if it
// wants it, the entry's number.
std::string EntryLines(const uint8_t palette[768], const char* format) {
  std::string text;
  char line[64];
  for (int i = 0; i < 256; ++i) {
    std::snprintf(line, sizeof line, format, palette[3 * i], palette[3 * i + 1], palette[3 * i + 2],
                  i);
    text += line;
  }
  return text;
}
bool ReadHexColor(std::string_view line, PaletteColor& color) {
  if (!line.empty() && line[0] == '#') line.remove_prefix(1);
  if (line.size() != 6 || !std::all_of(line.begin(), line.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
      }))
    return false;
  for (int c = 0; c < 3; ++c)
    color[c] = uint8_t(std::stoi(std::string(line.substr(2 * c, 2)), nullptr, 16));
  return true;
}
}  // namespace

// ---- GIMP palette -------------------------------------------------------
// "GIMP Palette", optional Name:, Columns: and Channels: lines, # comments,
// then "R G B name" a line.
std::string palette_text::GimpText(const std::string& name, const uint8_t palette[768]) {
  return "GIMP Palette\nName: " + name + "\nColumns: 16\n#\n" +
         EntryLines(palette, "%3u %3u %3u\tIndex %d\n");
}
std::string ParseGimpPalette(std::string_view text, std::vector<PaletteColor>& colors) {
  Lines lines(text);
  if (!lines.Next() || lines.line() != "GIMP Palette")
    return AtLine(1, "expected \"GIMP Palette\"");
  std::size_t levels = 3;
  colors.clear();
  while (lines.Next()) {
    const std::string_view line = lines.line();
    if (line.empty() || line[0] == '#' || StartsWith(line, "Name:") || StartsWith(line, "Columns:"))
      continue;
    if (StartsWith(line, "Channels:")) {
      const std::string_view channels = Trim(line.substr(9));
      if (channels != "RGB" && channels != "RGBA")
        return AtLine(lines.number(), "expected Channels: RGB or RGBA");
      levels = channels.size();
      continue;
    }
    PaletteColor color;
    if (!ReadLevels(Words(line), levels, color))
      return AtLine(lines.number(),
                    levels == 3 ? "expected R G B, each 0..255" : "expected R G B A, each 0..255");
    colors.push_back(color);
  }
  return colors.empty() ? AtLine(lines.number(), "no colours in the file") : "";
}
// ---- JASC-PAL -----------------------------------------------------------
// "JASC-PAL", "0100", the number of colours, then "R G B" a line.
std::string palette_text::JascText(const uint8_t palette[768]) {
  return "JASC-PAL\r\n0100\r\n256\r\n" + EntryLines(palette, "%u %u %u\r\n");
}
std::string ParseJascPalette(std::string_view text, std::vector<PaletteColor>& colors) {
  Lines lines(text);
  if (!lines.Next() || lines.line() != "JASC-PAL") return AtLine(1, "expected \"JASC-PAL\"");
  if (!lines.Next() || lines.line() != "0100") return AtLine(2, "expected version 0100");
  const std::optional<long> count =
      lines.Next() ? ParseInteger(std::string(lines.line()), 1, 256) : std::nullopt;
  if (!count) return AtLine(3, "expected the number of colours, 1..256");
  colors.clear();
  while (lines.Next()) {
    const std::vector<std::string> words = Words(lines.line());
    if (words.empty()) continue;
    if (colors.size() == std::size_t(*count))
      return AtLine(lines.number(),
                    "more colours than the " + std::to_string(*count) + " that line 3 announces");
    PaletteColor color;
    if ((words.size() != 3 && words.size() != 4) || !ReadLevels(words, words.size(), color))
      return AtLine(lines.number(), "expected R G B, each 0..255");
    colors.push_back(color);
  }
  if (colors.size() < std::size_t(*count))
    return AtLine(lines.number() + 1, "the file ends after " + std::to_string(colors.size()) +
                                          " of the " + std::to_string(*count) +
                                          " colours that line 3 announces");
  return "";
}
// ---- Hex list -----------------------------------------------------------
// One RRGGBB a line, as palette sites publish them; a leading # is allowed.
std::string ParseHexPalette(std::string_view text, std::vector<PaletteColor>& colors) {
  Lines lines(text);
  colors.clear();
  while (lines.Next()) {
    if (lines.line().empty()) continue;
    PaletteColor color;
    if (!ReadHexColor(lines.line(), color)) return AtLine(lines.number(), "expected RRGGBB");
    colors.push_back(color);
  }
  return colors.empty() ? AtLine(lines.number(), "no colours in the file") : "";
}
bool palette_text::LooksLikeHexList(std::string_view text) {
  std::vector<PaletteColor> ignored;
  return ParseHexPalette(text, ignored).empty();
}

std::string palette_text::HexText(const uint8_t palette[768]) {
  return EntryLines(palette, "%02x%02x%02x\n");
}

}  // namespace selvo
