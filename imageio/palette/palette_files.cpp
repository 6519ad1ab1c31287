#include "imageio/palette/palette_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/atomic_file.h"
#include "imageio/png/png_io.h"
#include "imageio/text.h"
#include "pcx/pcx_palette.h"
#include "pcx/pcx_writer.h"

namespace selvo {
namespace {

static_assert(sizeof(PaletteColor) == 3, "colours are copied as R, G, B bytes");

enum class Format { kPcx, kGimp, kJasc, kAdobe, kHex, kPng, kRiff, kUnknown };

// Palette text files are a few kilobytes; anything larger is not one.
constexpr std::size_t kMaxTextBytes = 1 << 20;

constexpr char kFormatList[] = ".pcx, .gpl, .pal, .act, .hex or .png";

std::string AtLine(int line, const std::string& problem) {
  return "line " + std::to_string(line) + ": " + problem;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
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

// ---- GIMP palette -------------------------------------------------------
// "GIMP Palette", optional Name:, Columns: and Channels: lines, # comments,
// then "R G B name" a line.

std::string GimpText(const std::string& name, const uint8_t palette[768]) {
  return "GIMP Palette\nName: " + name + "\nColumns: 16\n#\n" +
         EntryLines(palette, "%3u %3u %3u\tIndex %d\n");
}

// ---- JASC-PAL -----------------------------------------------------------
// "JASC-PAL", "0100", the number of colours, then "R G B" a line.

std::string JascText(const uint8_t palette[768]) {
  return "JASC-PAL\r\n0100\r\n256\r\n" + EntryLines(palette, "%u %u %u\r\n");
}

// ---- Hex list -----------------------------------------------------------
// One RRGGBB a line, as palette sites publish them; a leading # is allowed.

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

bool LooksLikeHexList(std::string_view text) {
  std::vector<PaletteColor> ignored;
  return ParseHexPalette(text, ignored).empty();
}

std::string HexText(const uint8_t palette[768]) { return EntryLines(palette, "%02x%02x%02x\n"); }

// ---- PCX ----------------------------------------------------------------
// The 256-colour trailer of an 8-bit PCX file.

std::string ReadPcxColors(const std::string& path, std::vector<PaletteColor>& colors) {
  if (!HasPaletteTrailer(path))
    return path +
           ": no 256-colour palette (needs an 8-bit, one-plane, version-5 PCX file "
           "with 0x0C at 769 bytes from the end)";
  uint8_t palette[768];
  if (!ReadPcxPalette(path, palette)) return path + ": cannot read palette";
  colors.resize(256);
  std::memcpy(colors.data(), palette, sizeof palette);
  return "";
}

// ---- PNG ----------------------------------------------------------------
// An indexed image's palette, or every pixel of a small true-colour image.

constexpr long kMaxColorPixels = 256;

std::string ReadPngColors(const std::string& path, std::vector<PaletteColor>& colors) {
  PngPaletteInfo info;
  std::string error = ReadPngPalette(path, info);
  if (!error.empty()) return error;
  if (info.indexed) {
    if (info.entries.empty()) return path + ": an indexed PNG without a palette";
    colors.resize(info.entries.size() / 3);
    std::memcpy(colors.data(), info.entries.data(), info.entries.size());
    return "";
  }
  if (long(info.width) * info.height > kMaxColorPixels)
    return path + ": a true-colour image gives one colour a pixel, at most 256; this one is " +
           std::to_string(info.width) + " x " + std::to_string(info.height) + " pixels";
  ColorImage image;
  error = ReadPngColor(path, image);
  if (!error.empty()) return error;
  colors.clear();
  const auto level = [](uint16_t v) { return uint8_t((uint32_t(v) * 255 + 32767) / 65535); };
  for (const Pixel64& pixel : image.pixels)
    colors.push_back({level(pixel.r), level(pixel.g), level(pixel.b)});
  return "";
}

// The entries as a 16 x 16 index image in reading order.
std::vector<uint8_t> EntryImage() {
  std::vector<uint8_t> indices(256);
  for (int i = 0; i < 256; ++i) indices[i] = uint8_t(i);
  return indices;
}

// ---- Telling formats apart ----------------------------------------------

Format FormatByContent(std::string_view head) {
  if (StartsWith(head, "\x89PNG\r\n\x1a\n")) return Format::kPng;
  if (StartsWith(head, "GIMP Palette")) return Format::kGimp;
  if (StartsWith(head, "JASC-PAL")) return Format::kJasc;
  if (head.size() >= 12 && StartsWith(head, "RIFF") && head.substr(8, 4) == "PAL ")
    return Format::kRiff;
  // PCX: manufacturer 10, version 0..5, run-length encoding.
  if (head.size() >= 3 && head[0] == 0x0A && uint8_t(head[1]) <= 5 && head[2] == 1)
    return Format::kPcx;
  return Format::kUnknown;
}

Format FormatByExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".pcx") return Format::kPcx;
  if (extension == ".gpl") return Format::kGimp;
  if (extension == ".pal") return Format::kJasc;
  if (extension == ".act") return Format::kAdobe;
  if (extension == ".hex") return Format::kHex;
  if (extension == ".png") return Format::kPng;
  return Format::kUnknown;
}

// The file's first kMaxTextBytes + 1 bytes, so that a longer file shows.
std::string ReadHead(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return path + ": cannot open file";
  bytes.resize(kMaxTextBytes + 1);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? path + ": cannot read file" : "";
}

std::string ParseText(Format format, const std::string& bytes, std::vector<PaletteColor>& colors) {
  switch (format) {
    case Format::kGimp: return ParseGimpPalette(bytes, colors);
    case Format::kJasc: return ParseJascPalette(bytes, colors);
    case Format::kHex: return ParseHexPalette(bytes, colors);
    default: return ParseAdobePalette(std::vector<uint8_t>(bytes.begin(), bytes.end()), colors);
  }
}

std::string WriteBytes(const std::string& path, const std::string& bytes) {
  return WriteFileAtomically(path, [&](std::FILE* file) -> std::string {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
      return "cannot write file";
    return "";
  });
}

}  // namespace

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

std::string ParseAdobePalette(const std::vector<uint8_t>& bytes,
                              std::vector<PaletteColor>& colors) {
  if (bytes.size() != 768 && bytes.size() != 772)
    return "byte " + std::to_string(bytes.size()) +
           ": the file ends there; an Adobe colour table has 768 or 772 bytes";
  std::size_t count = 256;
  if (bytes.size() == 772) {
    // A big-endian colour count, then a transparent index that does not
    // concern a palette of opaque entries.
    count = std::size_t(bytes[768]) << 8 | bytes[769];
    if (count < 1 || count > 256)
      return "byte 768: colour count " + std::to_string(count) + " is not 1..256";
  }
  colors.resize(count);
  std::memcpy(colors.data(), bytes.data(), 3 * count);
  return "";
}

std::string ReadPaletteFile(const std::string& path, std::vector<PaletteColor>& colors) {
  std::string bytes;
  std::string error = ReadHead(path, bytes);
  if (!error.empty()) return error;
  // Some Windows tools start text files with a UTF-8 byte order mark.
  if (StartsWith(bytes, "\xEF\xBB\xBF")) bytes.erase(0, 3);
  Format format = FormatByContent(bytes);
  if (format == Format::kUnknown) format = FormatByExtension(path);
  if (format == Format::kUnknown && bytes.size() <= kMaxTextBytes && LooksLikeHexList(bytes))
    format = Format::kHex;
  switch (format) {
    case Format::kPcx: return ReadPcxColors(path, colors);
    case Format::kPng: return ReadPngColors(path, colors);
    case Format::kRiff:
      return path +
             ": a RIFF palette, which selvo does not read; save it as JASC-PAL, GIMP or "
             "Adobe colour table";
    case Format::kUnknown:
      return path +
             ": not a palette file selvo knows (8-bit PCX, GIMP, JASC-PAL, Adobe colour "
             "table, hex list or PNG)";
    default: break;
  }
  if (bytes.size() > kMaxTextBytes) return path + ": larger than 1 MiB; not a palette file";
  error = ParseText(format, bytes, colors);
  return error.empty() ? "" : path + ": " + error;
}

std::string WritePaletteFile(const std::string& path, const uint8_t palette[768]) {
  switch (FormatByExtension(path)) {
    case Format::kPcx: return WritePcx(path, EntryImage().data(), 16, 16, palette);
    case Format::kPng: return WritePngIndexed(path, EntryImage().data(), 16, 16, palette);
    case Format::kGimp:
      return WriteBytes(path, GimpText(std::filesystem::path(path).stem().string(), palette));
    case Format::kJasc: return WriteBytes(path, JascText(palette));
    case Format::kHex: return WriteBytes(path, HexText(palette));
    case Format::kAdobe:
      return WriteBytes(path, std::string(reinterpret_cast<const char*>(palette), 768));
    default: break;
  }
  return path + ": unknown palette format; name the file " + kFormatList;
}

std::string PlacePaletteColors(const std::vector<PaletteColor>& colors, int start,
                               const std::string& source, uint8_t palette[768]) {
  const std::size_t room = std::size_t(256 - start);
  if (colors.size() > room)
    return source + " holds " + std::to_string(colors.size()) + " colours; from entry " +
           std::to_string(start) + " only " + std::to_string(room) + " fit";
  std::memcpy(palette + 3 * start, colors.data(), 3 * colors.size());
  return "";
}

}  // namespace selvo
