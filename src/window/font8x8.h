#pragma once
// The result window's 8x8 font in the classic PC code page 437 layout.

#include <cstdint>

// Glyph rows for each byte value, top row first; bit 7 of a row is its leftmost pixel.
extern const uint8_t kFont8x8[256][8];

// The byte that shows character code point u in code page 437 (printable ASCII and the upper
// half); -1 when it has none.
int ByteFromUnicode(uint32_t u);
