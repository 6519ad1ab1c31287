// Palette files as artists' tools keep them: 8-bit PCX, GIMP (.gpl),
// JASC-PAL (.pal), Adobe colour tables (.act), plain hex lists (.hex) and
// PNG. Each format has one reader and one writer; every function returns ""
// or a one-line error that names the file (and the line or byte, where the
// file itself is at fault).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace selvo {

using PaletteColor = std::array<uint8_t, 3>;  // R, G, B

// The file's colours in entry order, one to as many as the file holds. The
// format is told by the file's first bytes (PNG, GIMP, JASC-PAL, PCX) and
// otherwise by its extension (.act, .hex); a file of hex lines is known by
// its content under any name.
std::string ReadPaletteFile(const std::string& path, std::vector<PaletteColor>& colors);

// All 256 entries (R, G, B each) in the format named by the extension of
// `path`: .pcx, .gpl, .pal, .act, .hex or .png. PCX and PNG files are a
// 16 x 16 image of the entries in reading order (entry 16 starts the second
// row), so that even a tool that turns the PNG into true colour keeps them.
std::string WritePaletteFile(const std::string& path, const uint8_t palette[768]);

// Puts `colors` into entries `start` on, keeping the others; an error when
// they do not fit. `source` names the colours' file in the message.
std::string PlacePaletteColors(const std::vector<PaletteColor>& colors, int start,
                               const std::string& source, uint8_t palette[768]);

// The text formats, parsed from memory; errors give the line, not the file.
std::string ParseGimpPalette(std::string_view text, std::vector<PaletteColor>& colors);
std::string ParseJascPalette(std::string_view text, std::vector<PaletteColor>& colors);
std::string ParseHexPalette(std::string_view text, std::vector<PaletteColor>& colors);
// An Adobe colour table: 768 bytes, or 772 with a colour count.
std::string ParseAdobePalette(const std::vector<uint8_t>& bytes, std::vector<PaletteColor>& colors);

}  // namespace selvo
