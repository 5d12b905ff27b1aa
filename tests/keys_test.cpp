#include "keys.h"

#include <gtest/gtest.h>

namespace {

TEST(Keys, ConsoleKeyCodes) {
  const struct {
    ConsoleKeyEvent event;
    int code;
  } cases[] = {
      {{true, true, 'a', 0x41}, 'a'},
      {{true, true, 0xE9, 0}, 0xE9},         // a typed byte above 127 stays unsigned
      {{true, true, 0, 0x26}, 256 + 0x26},   // up arrow
      {{true, true, 0, 0x70}, 256 + 0x70},   // F1
      {{true, false, 'a', 0x41}, 0},         // released
      {{false, true, 'a', 0x41}, 0},         // not a key event
      {{true, true, 0, 0}, 0},
      {{true, true, 0, 0x10}, 0},            // Shift alone
      {{true, true, 0, 0xA5}, 0},            // right Alt alone
      {{true, true, 0, 0x14}, 0},            // Caps Lock
      {{true, true, 0, 0x91}, 0},            // Scroll Lock
      {{true, true, 0, 0x92}, 256 + 0x92},   // the key after Scroll Lock is a key
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConsoleKeyCode(c.event), c.code) << c.event.virtual_key;
}

TEST(Keys, WindowKeyDownCodes) {
  const struct {
    uint32_t key;
    bool system;
    int code;
  } cases[] = {
      {0x21, false, 0x121},  // Page Up, the first key without a character
      {0x2F, false, 0x12F},  // Help, the last of that run
      {0x20, false, 0},      // Space types a character
      {0x30, false, 0},      // "0" too
      {0x70, false, 0x170},  // F1
      {0x87, false, 0x187},  // F24
      {0x88, false, 0},
      {0x13, false, 0x113},  // Pause
      {0x5D, true, 0x15D},   // the menu key
      {0x73, false, 0x173},  // F4
      {0x73, true, 0},       // Alt+F4 closes instead
      {0x74, true, 0x174},   // Alt+F5
  };
  for (const auto& c : cases) EXPECT_EQ(WindowKeyDownCode(c.key, c.system), c.code) << c.key;
}

TEST(Keys, SdlKeyDownCodes) {
  const int32_t mask = kSdlScancodeMask;
  const struct {
    SdlKeyDown key;
    int code;
  } cases[] = {
      {{'\r', 40, 0}, '\r'},
      {{kSdlKeypadEnter, 88, 0}, '\r'},
      {{27, 41, 0}, 27},
      {{'\t', 43, 0}, '\t'},
      {{'\b', 42, 0}, '\b'},
      {{kSdlDelete, 76, 0}, 0x100 + 76},
      {{82 | mask, 82, 0}, 0x100 + 82},  // up arrow
      {{224 | mask, 224, 0}, 0},         // left Ctrl alone
      {{231 | mask, 231, 0}, 0},         // right GUI alone
      {{232 | mask, 232, 0}, 0x100 + 232},
      {{257 | mask, 257, 0}, 0},         // AltGr
      {{57 | mask, 57, 0}, 0},           // Caps Lock
      {{'a', 4, 0}, 0},                  // comes as text
      {{'a', 4, 0x0040}, 1},             // left Ctrl+A
      {{'z', 29, 0x0080}, 26},           // right Ctrl+Z
      {{'1', 30, 0x0040}, 0},            // Ctrl with no letter types nothing of its own
      {{'a', 4, 0x0001}, 0},             // Shift+A comes as text
  };
  for (const auto& c : cases) EXPECT_EQ(SdlKeyDownCode(c.key), c.code) << c.key.sym;
}

TEST(Keys, Utf8Characters) {
  const struct {
    const char* utf8;
    std::vector<uint32_t> characters;
  } cases[] = {
      {"", {}},
      {"aZ", {'a', 'Z'}},
      {"\xC3\xA9", {0xE9}},
      {"\xE2\x94\x80!", {0x2500, '!'}},
      {"\xF0\x9F\x98\x80", {0x1F600}},
      {"\xC3", {0x03}},               // cut short at the end
      {"\xE2\x94x", {0x2500 >> 6, 'x'}},  // cut short before another character
      {"\x80", {0x80}},               // a stray continuation byte
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8Characters(c.utf8), c.characters) << c.utf8;
}

}  // namespace
