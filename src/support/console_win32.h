#pragma once
// The Windows half of the console, open to tests.

#include <windows.h>

// The key code a console input event delivers, or 0 when the event is no key press: a key-down
// yields its character, or 256 plus its virtual-key code for a key without one; releases,
// Shift, Ctrl, Alt and lock keys alone, mouse, focus and size events yield 0.
int ConsoleKeyCode(const INPUT_RECORD& event);
