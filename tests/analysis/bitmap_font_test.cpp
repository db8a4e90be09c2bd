#include "analysis/bitmap_font.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace simtrove::analysis {
namespace {

constexpr const char* kLabelCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ .,:-+=<>()[]/%_#'|?";

TEST(BitmapFont, EveryLabelCharacterHasItsOwnGlyphWithinFiveColumns) {
    std::map<GlyphRows, char> seen;
    for (const char* c = kLabelCharacters; *c; ++c) {
        EXPECT_TRUE(hasGlyph(*c)) << *c;
        const GlyphRows rows = glyphRows(*c);
        for (const std::uint8_t r : rows) EXPECT_EQ(r & ~0x1F, 0) << *c;
        // A copy-paste slip would give two characters the same shape.
        const auto [it, fresh] = seen.emplace(rows, *c);
        EXPECT_TRUE(fresh) << *c << " looks like " << it->second;
    }
}

TEST(BitmapFont, SmallLettersAreCapitalsAndUnknownsAreQuestionMarks) {
    for (char c = 'a'; c <= 'z'; ++c) EXPECT_EQ(glyphRows(c), glyphRows(char(c - 'a' + 'A')));
    for (const char c : std::string("\x01~{\x7f\xe9")) {
        EXPECT_FALSE(hasGlyph(c));
        EXPECT_EQ(glyphRows(c), glyphRows('?'));
    }
}

}  // namespace
}  // namespace simtrove::analysis
