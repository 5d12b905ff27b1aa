#include "text_screen.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "font8x8.h"

namespace {

// True when the 8x8 cell at row r, column c (from 1) shows glyph b, white on black.
bool CellShows(const TextScreen& s, int r, int c, int b) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t want = (kFont8x8[b][y] >> (7 - x)) & 1 ? 0xFFFFFFFF : 0x00000000;
      if (s.pixels[(8 * (r - 1) + y) * s.width + 8 * (c - 1) + x] != want) return false;
    }
  return true;
}

Text Line(int n) { return "LINE" + std::to_string(100 + n); }
Text Lines(int first, int last) {
  Text t;
  for (int n = first; n <= last; ++n) t += Line(n) + "\r\n";
  return t;
}

// 80 distinct printable bytes, so a misplaced cell cannot pass for the right one.
const Text kFull = [] {
  Text t;
  for (int i = 0; i < 80; ++i) t += static_cast<char>('!' + (i * 7 + 3) % 94);
  return t;
}();

// Rows 1 to count showing report lines first, first + 1, ..., then the extra rows.
std::map<int, Text> Shown(int first, int count, std::map<int, Text> extra = {}) {
  for (int r = 1; r <= count; ++r) extra[r] = Line(first + r - 1);
  return extra;
}

TEST(TextScreen, LaysOutRequestsOnPixels) {
  const Text full24 = Lines(1, 24) + kFull;  // a character in the bottom-right cell
  // clang-format off
  // rows: row -> what columns 1.. show; every other cell is blank.
  const struct { std::vector<Text> requests; std::map<int, Text> rows;
                 int cursor_row, cursor_column; bool pending; int bells; } cases[] = {
      {{kFull, "\r\n"}, {{1, kFull}}, 3, 1, false, 0},  // CR LF after 80 leaves an empty row
      {{kFull + "Z"}, {{1, kFull}, {2, "Z"}}, 2, 2, false, 0},  // the 81st starts a row
      // Two scrolls: the BEL does not stop the second.
      {{Lines(1, 25), "\r\n\a"}, Shown(3, 23), 25, 1, false, 1},
      {{full24}, Shown(1, 24, {{25, kFull}}), 25, 80, true, 0},  // sets the pending break
      {{full24, "\r\n"}, Shown(3, 22, {{23, kFull}}), 25, 1, false, 0},  // two scrolls
      {{full24, "X"}, Shown(2, 23, {{24, kFull}, {25, "X"}}), 25, 2, false, 0},  // break first
      // Line breaks below the grid scroll when the next character comes.
      {{Lines(1, 24) + Line(25) + "\n\n\nX"}, Shown(4, 22, {{25, "X"}}), 25, 2, false, 0},
      {{Lines(1, 25) + Text(30, '\n') + "X"}, {{25, "X"}}, 25, 2, false, 0},  // clears the grid
      {{"ABCDEFGHIJ", "\r\tZ"}, {{1, "        ZJ"}}, 1, 10, false, 0},  // TAB: blanks to column 9
      {{"\babc\b\bX"}, {{1, "aXc"}}, 1, 3, false, 0},  // BS stays in column 1, erases nothing
      {{"  A\nB\r\n\rC"}, {{1, "  A"}, {2, "B"}, {3, "C"}}, 3, 2, false, 0},  // one line each
      {{Text("\0\x0b\x1b\x7f!", 5)}, {{1, Text("\0\x0b\x1b\x7f!", 5)}}, 1, 6, false, 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    TextScreen s = MakeTextScreen(640, 200);
    int bells = 0;
    for (const Text& request : c.requests) bells += PrintToScreen(s, request);
    for (int r = 1; r <= 25; ++r) {
      const Text shown = c.rows.count(r) ? c.rows.at(r) : Text();
      for (int col = 1; col <= 80; ++col) {
        const uint8_t b = col <= static_cast<int>(shown.size()) ? shown[col - 1] : ' ';
        ASSERT_TRUE(CellShows(s, r, col, b)) << "row " << r << " column " << col;
      }
    }
    EXPECT_EQ(std::tuple(c.cursor_row, c.cursor_column, c.pending, c.bells),
              std::tuple(s.cursor_row, s.cursor_column, s.pending_break, bells));
  }
}

// Each character shows as its code page 437 glyph, from this build's text bytes (code page 1252
// under the tests' Wine); one that page lacks, or a byte that is no character, shows 0x100.
TEST(TextScreen, DrawsEachCharacterAsItsOwnGlyph) {
  // clang-format off
  const struct { Text utf8, ansi; std::u16string glyphs; } cases[] = {
      {"M\xC3\xBCnchen Caf\xC3\xA9 \xC5\x92\xC2\xBD\xC3\x9F\xE2\x82\xAC\xC3\x87\xC2\xA0\xC3\xBF",
       "M\xFCnchen Caf\xE9 \x8C\xBD\xDF\x80\xC7\xA0\xFF",
       u"M\x81nchen Caf\x82 \x100\xAB\xE1\x100\x80\xFF\x98"},
      {"a\xFC\x80\tb", "a\x81\x8D\tb", u"a\x100\x100     b"}};
  // clang-format on
#ifdef _WIN32
  const bool ansi = true;
#else
  const bool ansi = false;
#endif
  for (const auto& c : cases) {
    TextScreen s = MakeTextScreen(640, 200);
    PrintToScreen(s, ansi ? c.ansi : c.utf8);
    for (int col = 1; col <= 80; ++col)
      ASSERT_TRUE(CellShows(s, 1, col, col <= int(c.glyphs.size()) ? c.glyphs[col - 1] : ' '))
          << c.utf8 << ": column " << col;
  }
}

// The first picture is all black; then only the rows written to, or all after a scroll.
TEST(TextScreen, DirtyRowsAreTheChangedOnes) {
  TextScreen s = MakeTextScreen(640, 200);
  const auto dirty = [&s] { return std::count(s.dirty_rows.begin(), s.dirty_rows.end(), true); };
  EXPECT_EQ(dirty(), 25);
  s.dirty_rows.assign(25, false);
  PrintToScreen(s, Text(24, '\n') + "abc");
  EXPECT_TRUE(dirty() == 1 && s.dirty_rows[24]);
  PrintToScreen(s, "\n");
  EXPECT_EQ(dirty(), 25);
}

}  // namespace
