#pragma once
// The result window's 8x8 font in the classic PC code page 437 layout.

#include <cstdint>

// The glyph that stands for a character code page 437 lacks, after those of the 256 bytes.
constexpr int kPlaceholderGlyph = 256;

// Glyph rows for each byte value and the placeholder, top row first; bit 7 of a row is the
// leftmost pixel.
extern const uint8_t kFont8x8[257][8];

// The byte that shows character code point u in code page 437 (printable ASCII and the upper
// half); -1 when it has none.
int ByteFromUnicode(uint32_t u);
