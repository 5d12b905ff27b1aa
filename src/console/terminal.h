#pragma once
// The current text output and key input: the console at first, the result window once it is
// open, or a recorder in tests.

#include "text.h"

// Key code delivered when the user asks to close the console or the window.
constexpr int kCloseKey = 0x6BFF;

// Where messages are written and keys are read.
class Terminal {
 public:
  virtual ~Terminal() = default;
  // Lays out one print request, byte for byte.
  virtual void Print(const Text& text) = 0;
  // Blocks until a key code arrives and returns it (0 when this terminal has no key source).
  virtual int WaitForKey() = 0;
};

// Writes text, then CR LF, as two print requests, and waits for one key.
void ShowMessage(Terminal& terminal, const Text& text);
