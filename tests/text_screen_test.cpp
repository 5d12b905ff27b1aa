#include "text_screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "font8x8.h"

namespace {

// True when the 8x8 cell at row r, column c (from 1) shows the glyph of byte b, white on black.
bool CellShows(const TextScreen& s, int r, int c, uint8_t b) {
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t want = (kFont8x8[b][y] >> (7 - x)) & 1 ? 0xFFFFFFFF : 0x00000000;
      if (s.pixels[(8 * (r - 1) + y) * s.width + 8 * (c - 1) + x] != want) return false;
    }
  return true;
}

Text Line(int n) { return "LINE" + std::to_string(100 + n); }

Text Lines(int first, int last, const Text& end) {
  Text t;
  for (int n = first; n <= last; ++n) t += Line(n) + end;
  return t;
}

// n distinct printable bytes, so a misplaced cell cannot pass for the right one.
Text Run(int n, int seed = 0) {
  Text t;
  for (int i = 0; i < n; ++i) t += static_cast<char>('!' + (i * 7 + seed) % 94);
  return t;
}

// rows: row -> what columns 1.. show; every other cell is blank.
struct LayoutCase {
  const char* name; std::vector<Text> requests; std::map<int, Text> rows;
  int cursor_row, cursor_column; bool pending; int bells;
};

// The 80-character row that the pending-break cases leave on the bottom row.
const Text kFull = Run(80, 3);

// Rows 1 to count showing report lines first, first + 1, ..., then the extra rows.
std::map<int, Text> Shown(int first, int count, std::map<int, Text> extra = {}) {
  for (int r = 1; r <= count; ++r) extra[r] = Line(first + r - 1);
  return extra;
}

std::vector<LayoutCase> LayoutCases() {
  return {
      {"five characters then CR LF", {"Hello", "\r\n"}, {{1, "Hello"}}, 2, 1, false, 0},
      {"80 characters then CR LF leave an empty row",
       {Run(80), "\r\n"}, {{1, Run(80)}}, 3, 1, false, 0},
      {"a long line goes on in column 1, mid-word",
       {Text(78, 'a') + " wordy"}, {{1, Text(78, 'a') + " w"}, {2, "ordy"}}, 2, 5, false, 0},
      {"25 lines then the message's CR LF scroll twice",
       {Lines(1, 25, "\r\n"), "\r\n"}, Shown(3, 23), 25, 1, false, 0},
      {"25 lines alone scroll once", {Lines(1, 25, "\r\n")}, Shown(2, 24), 25, 1, false, 0},
      {"a BEL after the final line break does not stop the scroll",
       {Lines(1, 25, "\r\n"), "\r\n\a"}, Shown(3, 23), 25, 1, false, 1},
      {"a character in the bottom-right cell sets the pending break",
       {Lines(1, 24, "\r\n") + kFull}, Shown(1, 24, {{25, kFull}}), 25, 80, true, 0},
      {"the pending break and the message's CR LF scroll twice",
       {Lines(1, 24, "\r\n") + kFull, "\r\n"}, Shown(3, 22, {{23, kFull}}), 25, 1, false, 0},
      {"the pending break is taken before further text",
       {Lines(1, 24, "\r\n") + kFull, "X"}, Shown(2, 23, {{24, kFull}, {25, "X"}}), 25, 2,
       false, 0},
      {"a BS after the bottom-right cell is a cursor move and scrolls",
       {Lines(1, 24, "\r\n") + kFull + "\b"}, Shown(2, 23, {{24, kFull}}), 25, 1, false, 0},
      {"line breaks below the grid scroll when the next character comes",
       {Lines(1, 24, "\r\n") + Line(25) + "\n\n\nX"}, Shown(4, 22, {{25, "X"}}), 25, 2, false, 0},
      {"a scroll of the whole grid or more clears it",
       {Lines(1, 25, "\r\n") + Text(30, '\n') + "X"}, {{25, "X"}}, 25, 2, false, 0},
      {"TAB in column 1 lands on column 9", {"\tX"}, {{1, "        X"}}, 1, 10, false, 0},
      {"TAB writes blanks over old text", {"ABCDEFGHIJ", "\r\tZ"}, {{1, "        ZJ"}}, 1, 10,
       false, 0},
      {"TAB in column 80 writes one blank and wraps",
       {Run(79) + "\tY"}, {{1, Run(79) + " "}, {2, "Y"}}, 2, 2, false, 0},
      {"a lone CR returns to column 1 and the text overwrites", {"abcdef\rXY"}, {{1, "XYcdef"}},
       1, 3, false, 0},
      {"BS in column 1 stays", {"\bA"}, {{1, "A"}}, 1, 2, false, 0},
      {"BS moves left without erasing", {"abc\b\bX"}, {{1, "aXc"}}, 1, 3, false, 0},
      {"a lone LF is a full line break", {"  A\nB"}, {{1, "  A"}, {2, "B"}}, 2, 2, false, 0},
      {"LF CR LF CR breaks twice", {"A\n\r\n\rB"}, {{1, "A"}, {3, "B"}}, 3, 2, false, 0},
      {"CR LF CR LF breaks twice", {"A\r\n\r\nB"}, {{1, "A"}, {3, "B"}}, 3, 2, false, 0},
      {"BEL sounds without moving", {"ab\a\acd"}, {{1, "abcd"}}, 1, 5, false, 2},
      {"NUL, VT, FF and ESC are drawn", {Text("\0\x0b\x0c\x1b!", 5)},
       {{1, Text("\0\x0b\x0c\x1b!", 5)}}, 1, 6, false, 0},
  };
}

TEST(TextScreenTest, LaysOutRequestsOnPixels) {
  for (const LayoutCase& c : LayoutCases()) {
    SCOPED_TRACE(c.name);
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
    EXPECT_EQ(c.cursor_row, s.cursor_row);
    EXPECT_EQ(c.cursor_column, s.cursor_column);
    EXPECT_EQ(c.pending, s.pending_break);
    EXPECT_EQ(c.bells, bells);
  }
}

TEST(TextScreenTest, UpperHalfBytesUseTheirOwnGlyphs) {
  TextScreen s = MakeTextScreen(640, 200);
  Text upper;
  for (int b = 128; b < 256; ++b) upper += static_cast<char>(b);
  PrintToScreen(s, upper);
  for (int b = 128; b < 256; ++b) {
    const int i = b - 128;
    EXPECT_TRUE(CellShows(s, 1 + i / 80, 1 + i % 80, b)) << "byte " << b;
  }
}

TEST(TextScreenTest, GridFollowsTheSurfaceSize) {
  struct Case { int width, height, columns, rows; };
  for (Case c : {Case{640, 200, 80, 25}, Case{647, 207, 80, 25}, Case{16, 8, 2, 1}}) {
    TextScreen s = MakeTextScreen(c.width, c.height);
    EXPECT_EQ(c.columns, s.columns);
    EXPECT_EQ(c.rows, s.rows);
    EXPECT_EQ(static_cast<size_t>(c.width) * c.height, s.pixels.size());
  }
  // A two-cell grid wraps and scrolls like the full one.
  TextScreen s = MakeTextScreen(16, 8);
  PrintToScreen(s, "ab\r\ncd");
  EXPECT_TRUE(CellShows(s, 1, 1, 'c'));
  EXPECT_TRUE(CellShows(s, 1, 2, 'd'));
  EXPECT_TRUE(s.pending_break);
}

TEST(TextScreenTest, DirtyRowsFollowChanges) {
  TextScreen s = MakeTextScreen(640, 200);
  EXPECT_EQ(std::vector<bool>(25, true), s.dirty_rows);  // the first picture is all black
  s.dirty_rows.assign(25, false);
  PrintToScreen(s, "\n\nabc\r\n");
  std::vector<bool> want(25, false);
  want[2] = true;
  EXPECT_EQ(want, s.dirty_rows);
  s.dirty_rows.assign(25, false);
  PrintToScreen(s, Text(30, '\n'));
  EXPECT_EQ(std::vector<bool>(25, true), s.dirty_rows);
}

TEST(TextScreenTest, KeyQueueKeepsTheNewestFifteen) {
  struct Case { int queued; std::vector<int> taken; };
  const Case cases[] = {
      {0, {0}},
      {3, {1, 2, 3, 0}},
      {15, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0}},
      {16, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0}},
      {20, {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 0}},
  };
  for (const Case& c : cases) {
    TextScreen s = MakeTextScreen(640, 200);
    for (int k = 1; k <= c.queued; ++k) QueueKey(s, k);
    std::vector<int> taken;
    for (size_t i = 0; i < c.taken.size(); ++i) taken.push_back(TakeKey(s));
    EXPECT_EQ(c.taken, taken) << c.queued << " queued";
  }
}

TEST(TextScreenTest, WindowTitleIsTheFileNameLessItsExtension) {
  struct Case { const char* path; char separator; const char* title; };
  const Case cases[] = {
      {"C:\\Tools\\setup.new.exe", '\\', "setup.new"},
      {"C:\\Tools\\sceneryreg.exe", '\\', "sceneryreg"},
      {"C:\\a.b\\prog", '\\', "prog"},
      {"prog.exe", '\\', "prog"},
      {"/usr/local/bin/sceneryreg", '/', "sceneryreg"},
      {"/opt/v1.2/tool.bin", '/', "tool"},
      {"/srv/.hidden", '/', ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.title, WindowTitle(c.path, c.separator)) << c.path;
}

int Lit(uint8_t b) {
  int n = 0;
  for (uint8_t row : kFont8x8[b])
    for (int x = 0; x < 8; ++x) n += (row >> x) & 1;
  return n;
}

TEST(Font8x8Test, GlyphShapes) {
  for (int b : {0x00, 0x20, 0xFF}) EXPECT_EQ(0, Lit(b)) << b;
  EXPECT_EQ(64, Lit(0xDB));  // full block
  for (int y = 0; y < 8; ++y) {
    EXPECT_EQ(y < 4 ? 0x00 : 0xFF, kFont8x8[0xDC][y]);  // lower half block
    EXPECT_EQ(y < 4 ? 0xFF : 0x00, kFont8x8[0xDF][y]);  // upper half block
    EXPECT_EQ(0xF0, kFont8x8[0xDD][y]);                 // left half block
    EXPECT_EQ(kFont8x8[0xB3][0], kFont8x8[0xB3][y]);    // vertical line runs top to bottom
  }
  int horizontal_rows = 0;
  for (uint8_t row : kFont8x8[0xC4]) horizontal_rows += row == 0xFF;
  EXPECT_EQ(1, horizontal_rows);
  // Every other byte, pictographs and upper half included, draws something.
  for (int b = 1; b < 0xFF; ++b)
    if (b != 0x20) {
      EXPECT_LT(0, Lit(b)) << b;
    }
  // No two letters or digits look alike.
  const Text distinct = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (size_t i = 0; i < distinct.size(); ++i)
    for (size_t j = i + 1; j < distinct.size(); ++j)
      EXPECT_NE(0, memcmp(kFont8x8[(uint8_t)distinct[i]], kFont8x8[(uint8_t)distinct[j]], 8))
          << distinct[i] << distinct[j];
}

TEST(Font8x8Test, ByteFromUnicode) {
  struct Case { uint32_t u; int byte; };
  const Case cases[] = {
      {'A', 'A'}, {' ', ' '}, {'~', '~'}, {0x00C7, 0x80}, {0x00E9, 0x82}, {0x00DF, 0xE1},
      {0x2591, 0xB0}, {0x2588, 0xDB}, {0x03C0, 0xE3}, {0x00A0, 0xFF}, {0x20AC, -1},
      {0x007F, -1}, {0x0009, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.byte, ByteFromUnicode(c.u)) << std::hex << c.u;
}

}  // namespace
