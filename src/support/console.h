#pragma once
// The process's console: standard output for text, the console or terminal for keys.

#include "terminal.h"

// The console as a Terminal. Its WaitForKey returns 0 at once when standard input is not an
// interactive console, since nobody could type the key.
Terminal& ConsoleTerminal();

// Takes the console window out of the user's way (nothing where there is no separate window).
void HideConsoleWindow();

// Brings back a console window hidden by HideConsoleWindow.
void ShowConsoleWindow();
