#include "text_screen.h"

#include <algorithm>

#include "font8x8.h"

namespace {

constexpr int kCell = 8;

void MarkAllDirty(TextScreen& screen) {
  std::fill(screen.dirty_rows.begin(), screen.dirty_rows.end(), true);
}

void ScrollUp(TextScreen& screen, int n) {
  const size_t row_pixels = static_cast<size_t>(screen.width) * kCell;
  const size_t grid_pixels = row_pixels * screen.rows;
  auto grid = screen.pixels.begin();
  if (n < screen.rows) {
    std::copy(grid + row_pixels * n, grid + grid_pixels, grid);
    std::fill(grid + row_pixels * (screen.rows - n), grid + grid_pixels, kScreenBackground);
  } else {
    std::fill(grid, grid + grid_pixels, kScreenBackground);
  }
  MarkAllDirty(screen);
}

// Characters scroll lazily: the cursor may have been left below the grid by line breaks.
void BringCursorOntoGrid(TextScreen& screen) {
  if (screen.cursor_row > screen.rows) {
    ScrollUp(screen, screen.cursor_row - screen.rows);
    screen.cursor_row = screen.rows;
  }
}

void DrawCharacter(TextScreen& screen, int glyph) {
  BringCursorOntoGrid(screen);
  const int x0 = kCell * (screen.cursor_column - 1);
  const int y0 = kCell * (screen.cursor_row - 1);
  for (int y = 0; y < kCell; ++y) {
    uint32_t* line = &screen.pixels[static_cast<size_t>(y0 + y) * screen.width + x0];
    for (int x = 0; x < kCell; ++x)
      line[x] = (kFont8x8[glyph][y] & (0x80 >> x)) ? kScreenForeground : kScreenBackground;
  }
  screen.dirty_rows[screen.cursor_row - 1] = true;
  if (++screen.cursor_column > screen.columns) {
    screen.cursor_column = 1;
    ++screen.cursor_row;
  }
}

// The glyph that shows character c: a control character or DEL that of its own byte, as the font
// has one for each; a character of code page 437 that of its byte there; any other the
// placeholder, never a look-alike.
int GlyphOf(char32_t c) {
  if (c < 0x20 || c == 0x7F) return static_cast<int>(c);
  const int byte = ByteFromUnicode(c);
  return byte >= 0 ? byte : kPlaceholderGlyph;
}

}  // namespace

TextScreen MakeTextScreen(int width, int height) {
  TextScreen screen;
  screen.width = width;
  screen.height = height;
  screen.columns = width / kCell;
  screen.rows = height / kCell;
  screen.pixels.assign(static_cast<size_t>(width) * height, kScreenBackground);
  screen.dirty_rows.assign(screen.rows, true);
  return screen;
}

int PrintToScreen(TextScreen& screen, const Text& text) {
  const std::u32string characters = SystemCharacters(text);
  const int bells = static_cast<int>(std::count(characters.begin(), characters.end(), U'\a'));
  if (screen.columns == 0 || screen.rows == 0) return bells;

  if (screen.pending_break) {
    screen.pending_break = false;
    screen.cursor_column = 1;
    ++screen.cursor_row;
    BringCursorOntoGrid(screen);
  }
  bool ended_with_move = false;
  for (char32_t c : characters) {
    switch (c) {
      case '\r':
        screen.cursor_column = 1;
        ended_with_move = true;
        break;
      case '\n':
        screen.cursor_column = 1;
        ++screen.cursor_row;
        ended_with_move = true;
        break;
      case '\b':
        if (screen.cursor_column > 1) --screen.cursor_column;
        ended_with_move = true;
        break;
      case '\a': break;
      case '\t':
        for (int n = 8 - (screen.cursor_column - 1) % 8; n > 0; --n) DrawCharacter(screen, ' ');
        ended_with_move = false;
        break;
      default:
        DrawCharacter(screen, GlyphOf(c));
        ended_with_move = false;
        break;
    }
  }
  if (ended_with_move) {
    BringCursorOntoGrid(screen);
  } else if (screen.cursor_row > screen.rows) {
    // A character filled the bottom-right cell: keep the picture still until more output
    // shows that the line really goes on.
    screen.pending_break = true;
    screen.cursor_row = screen.rows;
    screen.cursor_column = screen.columns;
  }
  return bells;
}

void QueueKey(TextScreen& screen, int code) {
  if (static_cast<int>(screen.keys.size()) >= kKeyQueueLimit) screen.keys.pop_front();
  screen.keys.push_back(code);
}

int TakeKey(TextScreen& screen) {
  if (screen.keys.empty()) return 0;
  const int code = screen.keys.front();
  screen.keys.pop_front();
  return code;
}

Text WindowTitle(const Text& path, char separator) {
  Text name = path.substr(path.find_last_of(separator) + 1);
  const size_t dot = name.find_last_of('.');
  return dot == Text::npos ? name : name.substr(0, dot);
}
