// A tiny bitmap font for the labels of generated pictures: printable ASCII,
// each glyph 5 pixels wide and 8 tall (the last row for descenders).
#pragma once

namespace selvo {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 8;
constexpr int kGlyphAdvance = kGlyphWidth + 1;  // one pixel between glyphs

// Whether pixel (x, y) of the character's glyph is set; x in 0..4, y in 0..7
// from the top. Bytes outside printable ASCII are drawn as '?'.
bool GlyphPixel(char c, int x, int y);

}  // namespace selvo
