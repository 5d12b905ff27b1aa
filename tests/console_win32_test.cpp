#include <windows.h>

#include <thread>

#include <gtest/gtest.h>

#include "console.h"
#include "start_win32.h"

namespace {

INPUT_RECORD Key(bool down, char character, WORD virtual_key) {
  INPUT_RECORD record = {};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent = {down, 1, virtual_key, 0, {}, 0};
  record.Event.KeyEvent.uChar.AsciiChar = character;
  return record;
}

// Runs on a console of its own (ctest gives it a pseudo-terminal). The wait passes over a mouse
// event and a release to the first key pressed, and a close event ends it with no key pending;
// Ctrl+C is left to the system.
TEST(ConsoleWin32, WaitTakesKeysAndCloseRequests) {
  INPUT_RECORD events[3] = {{}, Key(false, 'a', 'A'), Key(true, 'b', 'B')};
  events[0].EventType = MOUSE_EVENT;
  DWORD written = 0;
  ASSERT_TRUE(WriteConsoleInputA(GetStdHandle(STD_INPUT_HANDLE), events, 3, &written));
  EXPECT_EQ(ConsoleTerminal().WaitForKey(), 'b');
  std::thread closer([] {
    Sleep(300);
    EXPECT_TRUE(OnConsoleControl(CTRL_CLOSE_EVENT));
  });
  EXPECT_EQ(ConsoleTerminal().WaitForKey(), kCloseKey);
  closer.join();
  EXPECT_FALSE(OnConsoleControl(CTRL_C_EVENT));
  EXPECT_TRUE(HideConsoleWindow());  // no other process shares this console
  ShowConsoleWindow();
}

}  // namespace
