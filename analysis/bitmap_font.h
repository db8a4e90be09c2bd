// A 5 x 7 pixel font for digits, capital letters and common punctuation.
//
// glyphRows(c) gives the seven rows of the glyph of c from the top, the
// leftmost pixel in bit 4. Small letters map to capitals; a character without
// a glyph gets the question mark. Glyphs advance by kGlyphAdvance pixels.
#pragma once

#include <array>
#include <cstdint>

namespace simtrove::analysis {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;

using GlyphRows = std::array<std::uint8_t, kGlyphHeight>;

GlyphRows glyphRows(char c);
bool hasGlyph(char c);

}  // namespace simtrove::analysis
