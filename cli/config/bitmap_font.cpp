#include "cli/config/bitmap_font.h"

#include <cstdint>

namespace selvo {
namespace {

// Characters 32..126. Each glyph is 8 rows of 5 bits, the top row in the
// highest bits and the leftmost pixel in each row's highest bit.
constexpr uint64_t kGlyphs[95] = {
    0x0000000000,  // ' '
    0x2108420080,  // '!'
    0x5294000000,  // '"'
    0x52BEAFA940,  // '#'
    0x23E8E2F880,  // '$'
    0xC644444C60,  // '%'
    0x64A88AC9A0,  // '&'
    0x2110000000,  // "'"
    0x1110841040,  // '('
    0x4104211100,  // ')'
    0x012AEA9000,  // '*'
    0x0109F21000,  // '+'
    0x0000061100,  // ','
    0x0001F00000,  // '-'
    0x0000003180,  // '.'
    0x0044444000,  // '/'
    0x74675CC5C0,  // '0'
    0x23084211C0,  // '1'
    0x74422223E0,  // '2'
    0xF88820C5C0,  // '3'
    0x11952F8840,  // '4'
    0xFC3C10C5C0,  // '5'
    0x3221E8C5C0,  // '6'
    0xF844442100,  // '7'
    0x7462E8C5C0,  // '8'
    0x7462F08980,  // '9'
    0x0318063000,  // ':'
    0x0318061100,  // ';'
    0x1111041040,  // '<'
    0x003E0F8000,  // '='
    0x4104111100,  // '>'
    0x7442220080,  // '?'
    0x7442DAD5C0,  // '@'
    0x7463F8C620,  // 'A'
    0xF463E8C7C0,  // 'B'
    0x74610845C0,  // 'C'
    0xE4A318CB80,  // 'D'
    0xFC21E843E0,  // 'E'
    0xFC21E84200,  // 'F'
    0x746178C5E0,  // 'G'
    0x8C63F8C620,  // 'H'
    0x71084211C0,  // 'I'
    0x3884214980,  // 'J'
    0x8CA98A4A20,  // 'K'
    0x84210843E0,  // 'L'
    0x8EEB58C620,  // 'M'
    0x8C7359C620,  // 'N'
    0x746318C5C0,  // 'O'
    0xF463E84200,  // 'P'
    0x74631AC9A0,  // 'Q'
    0xF463EA4A20,  // 'R'
    0x7C20E087C0,  // 'S'
    0xF908421080,  // 'T'
    0x8C6318C5C0,  // 'U'
    0x8C6318A880,  // 'V'
    0x8C635AD540,  // 'W'
    0x8C54454620,  // 'X'
    0x8C62A21080,  // 'Y'
    0xF8444443E0,  // 'Z'
    0x72108421C0,  // '['
    0x0410410400,  // '\\'
    0x70842109C0,  // ']'
    0x22A2000000,  // '^'
    0x00000003E0,  // '_'
    0x4104000000,  // '`'
    0x001C17C5E0,  // 'a'
    0x842D98C7C0,  // 'b'
    0x001D0845C0,  // 'c'
    0x085B38C5E0,  // 'd'
    0x001D1FC1C0,  // 'e'
    0x3251C42100,  // 'f'
    0x001F18BC2E,  // 'g'
    0x842D98C620,  // 'h'
    0x20184211C0,  // 'i'
    0x100C210A4C,  // 'j'
    0x84254C5240,  // 'k'
    0x61084211C0,  // 'l'
    0x00355AC620,  // 'm'
    0x002D98C620,  // 'n'
    0x001D18C5C0,  // 'o'
    0x003D18FA10,  // 'p'
    0x001F18BC21,  // 'q'
    0x002D984200,  // 'r'
    0x001F0707C0,  // 's'
    0x42388424C0,  // 't'
    0x002318CDA0,  // 'u'
    0x002318A880,  // 'v'
    0x00231AD540,  // 'w'
    0x0022A22A20,  // 'x'
    0x002318BC2E,  // 'y'
    0x003E2223E0,  // 'z'
    0x1108821040,  // '{'
    0x2108421080,  // '|'
    0x4108221100,  // '}'
    0x0011510000,  // '~'
};

}  // namespace

bool GlyphPixel(char c, int x, int y) {
  const unsigned char code = static_cast<unsigned char>(c);
  const uint64_t glyph = kGlyphs[(code >= 32 && code < 127 ? code : '?') - 32];
  const int row = int(glyph >> (kGlyphWidth * (kGlyphHeight - 1 - y))) & 0x1F;
  return (row >> (kGlyphWidth - 1 - x) & 1) != 0;
}

}  // namespace selvo
