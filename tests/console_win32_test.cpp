#include "console_win32.h"

#include <gtest/gtest.h>

namespace {

INPUT_RECORD KeyEvent(bool down, char c, WORD virtual_key) {
  INPUT_RECORD r = {};
  r.EventType = KEY_EVENT;
  r.Event.KeyEvent.bKeyDown = down;
  r.Event.KeyEvent.wRepeatCount = 1;
  r.Event.KeyEvent.wVirtualKeyCode = virtual_key;
  r.Event.KeyEvent.uChar.AsciiChar = c;
  return r;
}

TEST(ConsoleKeyCode, KeyPressesCountOtherEventsDoNot) {
  struct Case { const char* name; INPUT_RECORD event; int expected; };  // 256: any of 256 or more
  INPUT_RECORD mouse = {};
  mouse.EventType = MOUSE_EVENT;
  mouse.Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
  INPUT_RECORD focus = {};
  focus.EventType = FOCUS_EVENT;
  focus.Event.FocusEvent.bSetFocus = TRUE;
  const Case cases[] = {
      {"letter", KeyEvent(true, 'a', 'A'), 'a'},
      {"Enter", KeyEvent(true, '\r', VK_RETURN), 13},
      {"Esc", KeyEvent(true, 27, VK_ESCAPE), 27},
      {"character above 127", KeyEvent(true, '\x8E', 0xDE), 0x8E},
      {"arrow", KeyEvent(true, 0, VK_LEFT), 256},
      {"function key", KeyEvent(true, 0, VK_F5), 256},
      {"Delete", KeyEvent(true, 0, VK_DELETE), 256},
      {"letter released", KeyEvent(false, 'a', 'A'), 0},
      {"Shift alone", KeyEvent(true, 0, VK_SHIFT), 0},
      {"Ctrl alone", KeyEvent(true, 0, VK_CONTROL), 0},
      {"Alt alone", KeyEvent(true, 0, VK_MENU), 0},
      {"Caps Lock", KeyEvent(true, 0, VK_CAPITAL), 0},
      {"Num Lock", KeyEvent(true, 0, VK_NUMLOCK), 0},
      {"mouse click", mouse, 0},
      {"focus", focus, 0},
  };
  for (const auto& c : cases) {
    int key = ConsoleKeyCode(c.event);
    EXPECT_TRUE(c.expected == 256 ? key >= 256 : key == c.expected) << c.name << ": " << key;
  }
}

}  // namespace
