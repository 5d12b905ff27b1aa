#include "keys.h"

#include <gtest/gtest.h>

namespace {

// Key events as the platforms number them, and the code each must queue.
TEST(Keys, CodesOfKeyEvents) {
  // clang-format off
  const struct { ConsoleKeyEvent event; int code; } console[] = {
      {{true, true, 'a', 0x41}, 'a'}, {{true, true, 0xE9, 0}, 0xE9}, {{true, true, 0, 0x26}, 0x126},
      {{true, false, 'a', 0x41}, 0}, {{false, true, 'a', 0x41}, 0}, {{true, true, 0, 0}, 0},
      {{true, true, 0, 0x10}, 0}, {{true, true, 0, 0x13}, 0x113}, {{true, true, 0, 0x14}, 0},
      {{true, true, 0, 0x91}, 0}, {{true, true, 0, 0x92}, 0x192}, {{true, true, 0, 0xA5}, 0}};
  // Page Up to Help, F1 to F24, Pause and the menu key type no character; Alt+F4 closes.
  const struct { uint32_t key; bool system; int code; } window[] = {
      {0x20, false, 0}, {0x21, false, 0x121}, {0x2F, false, 0x12F}, {0x30, false, 0},
      {0x70, false, 0x170}, {0x87, false, 0x187}, {0x88, false, 0}, {0x13, false, 0x113},
      {0x5D, true, 0x15D}, {0x73, false, 0x173}, {0x73, true, 0}, {0x74, true, 0x174}};
  const int32_t mask = kSdlScancodeMask;
  const struct { SdlKeyDown key; int code; } sdl[] = {
      {{'\r', 40, 0}, '\r'}, {{kSdlKeypadEnter, 88, 0}, '\r'}, {{27, 41, 0}, 27},
      {{'\t', 43, 0}, '\t'}, {{'\b', 42, 0}, '\b'}, {{kSdlDelete, 76, 0}, 0x14C},
      {{82 | mask, 82, 0}, 0x152}, {{224 | mask, 224, 0}, 0}, {{231 | mask, 231, 0}, 0},
      {{232 | mask, 232, 0}, 0x1E8}, {{257 | mask, 257, 0}, 0}, {{57 | mask, 57, 0}, 0},
      {{'a', 4, 0}, 0}, {{'a', 4, 0x0040}, 1}, {{'z', 29, 0x0080}, 26}, {{'1', 30, 0x0040}, 0},
      {{'a', 4, 0x0001}, 0}};
  // clang-format on
  for (const auto& c : console) EXPECT_EQ(ConsoleKeyCode(c.event), c.code) << c.event.virtual_key;
  for (const auto& c : window) EXPECT_EQ(WindowKeyDownCode(c.key, c.system), c.code) << c.key;
  for (const auto& c : sdl) EXPECT_EQ(SdlKeyDownCode(c.key), c.code) << c.key.sym;
}

}  // namespace
