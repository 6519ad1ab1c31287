#include "imageio/palette/palette_files.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/atomic_file.h"
#include "files/file_error.h"
#include "imageio/palette/palette_pvt.h"
#include "imageio/png/png_io.h"
#include "pcx/pcx_palette.h"
#include "pcx/pcx_writer.h"

namespace selvo {
namespace {

using namespace palette_text;

static_assert(sizeof(PaletteColor) == 3, "colours are copied as R, G, B bytes");

enum class Format { kPcx, kGimp, kJasc, kAdobe, kHex, kPng, kRiff, kUnknown };

// Palette text files are a few kilobytes; anything larger is not one.
constexpr std::size_t kMaxTextBytes = 1 << 20;

constexpr char kFormatList[] = ".pcx, .gpl, .pal, .act, .hex or .png";

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
  if (file == nullptr) return FileError(path, "cannot open file");
  bytes.resize(kMaxTextBytes + 1);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  return failed ? FileError(path, "cannot read file", error) : "";
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
