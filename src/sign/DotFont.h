#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace meridial::sign {

inline constexpr int kGlyphColumns = 5;
inline constexpr int kGlyphRows = 7;
// One dark column between two characters, as on the sign's modules.
inline constexpr int kGlyphSpacing = 1;

// One line of lit ('#') and dark ('.') dots, kGlyphRows high, row 0 at the top. Kept as text so
// a pattern reads the same in a test as on the sign.
struct DotRows {
    std::array<std::string, kGlyphRows> rows;

    int Width() const { return static_cast<int>(rows[0].size()); }
    bool Lit(int column, int row) const {
        return column >= 0 && column < Width() && row >= 0 && row < kGlyphRows &&
               rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] == '#';
    }
};

// The 5x7 font covers printable ASCII; every other byte is drawn as a box, so a character the
// sign cannot show is visible rather than silently missing.
bool HasGlyph(std::uint8_t byte);
// Columns of one character, bit 0 the top row.
std::array<std::uint8_t, kGlyphColumns> GlyphColumns(std::uint8_t byte);

// The text as dots, one glyph per byte with kGlyphSpacing between glyphs; empty text gives rows
// of width 0.
DotRows RenderText(std::string_view text);

// Width in dot columns of a text of this many bytes.
constexpr int TextWidth(std::size_t bytes) {
    return bytes == 0 ? 0
                      : static_cast<int>(bytes) * (kGlyphColumns + kGlyphSpacing) - kGlyphSpacing;
}

}  // namespace meridial::sign
