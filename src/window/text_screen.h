#pragma once
// The result window's text screen: an 80x25 grid of 8x8 cells laid out on a 32-bit pixel
// surface, white on black, with the window's key queue. Pure data and layout; the platform
// window only presents the pixels and feeds the keys.

#include <cstdint>
#include <deque>
#include <vector>

#include "text.h"

constexpr uint32_t kScreenForeground = 0xFFFFFFFF;
constexpr uint32_t kScreenBackground = 0x00000000;
// Keys held at most; a key that arrives when the queue is full pushes out the oldest.
constexpr int kKeyQueueLimit = 15;

struct TextScreen {
  int width = 0;                 // pixels
  int height = 0;                // pixels
  int columns = 0;               // width / 8
  int rows = 0;                  // height / 8
  std::vector<uint32_t> pixels;  // width * height, top row first, 0x00RRGGBB
  std::vector<bool> dirty_rows;  // one per text row: changed since the window last showed it
  int cursor_row = 1;            // 1-based; may stand one or more rows below the grid mid-request
  int cursor_column = 1;         // 1-based
  bool pending_break = false;    // the last character filled the bottom-right cell
  std::deque<int> keys;
};

// A black screen of width x height pixels with the cursor at row 1, column 1 and every row
// marked dirty.
TextScreen MakeTextScreen(int width, int height);

// Lays out one print request character by character, its bytes read as the system keeps text
// (SystemCharacters); returns how many BEL characters it held, for the caller to sound.
int PrintToScreen(TextScreen& screen, const Text& text);

// Queues a key code, dropping the oldest when kKeyQueueLimit codes are held.
void QueueKey(TextScreen& screen, int code);

// Takes the oldest key code from the queue; 0 when it is empty.
int TakeKey(TextScreen& screen);

// The window title for a program file: the part of path after the last separator, cut at its
// last "." (a name without a dot stays whole).
Text WindowTitle(const Text& path, char separator);
