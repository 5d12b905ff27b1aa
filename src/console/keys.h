#pragma once
// Which key code a key press queues, on the console and in the result window, whatever the
// platform it came from: the decisions, given the numbers the platform's events carry. The code
// that receives the events only hands them over.

#include <cstdint>

// A Windows console input event, as far as its key code depends on it.
struct ConsoleKeyEvent {
  bool key = false;             // a key event, not a mouse, focus or size event
  bool down = false;            // pressed, not released
  unsigned char character = 0;  // the character typed, 0 for none
  uint16_t virtual_key = 0;     // the Windows virtual-key code
};

// The key code a console input event delivers, or 0 when the event is no key press: a key-down
// yields its character, or 256 plus its virtual-key code for a key without one; releases,
// Shift, Ctrl, Alt and lock keys alone, mouse, focus and size events yield 0.
int ConsoleKeyCode(const ConsoleKeyEvent& event);

// The code a WM_KEYDOWN (system: WM_SYSKEYDOWN) of virtual_key queues in the Windows result
// window: 0x100 plus the key for a key that types no character, except Alt+F4, which becomes a
// close request; 0 otherwise, as WM_CHAR brings the rest.
int WindowKeyDownCode(uint32_t virtual_key, bool system);

// An SDL key-down, as far as its code depends on it; the numbers are SDL's own.
struct SdlKeyDown {
  int32_t sym = 0;       // SDL_Keycode
  int32_t scancode = 0;  // SDL_Scancode
  uint16_t mod = 0;      // SDL_Keymod bits
};

// SDL's numbers that SdlKeyDownCode looks at; result_window_posix.cpp checks them against SDL.
constexpr int32_t kSdlScancodeMask = 1 << 30;
constexpr int32_t kSdlKeypadEnter = 88 | kSdlScancodeMask;
constexpr int32_t kSdlDelete = 127;
constexpr uint16_t kSdlCtrl = 0x0040 | 0x0080;

// The code an SDL key-down queues when no text event will follow it; 0 for none. Keys that type
// a character arrive as text instead, except the four whose byte the text events leave out.
int SdlKeyDownCode(const SdlKeyDown& key);
