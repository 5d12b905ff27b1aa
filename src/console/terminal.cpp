#include "terminal.h"

void ShowMessage(Terminal& terminal, const Text& text) {
  terminal.Print(text);
  terminal.Print("\r\n");
  terminal.WaitForKey();
}
