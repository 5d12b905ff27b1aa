#pragma once
// The process's console: standard output for text, the console or terminal for keys.

#include "terminal.h"

// The console as a Terminal. Its WaitForKey returns 0 at once unless standard input is an
// interactive console that the user can see: not redirected, not a console without a window,
// not a run started hidden, not a job in a terminal's background.
Terminal& ConsoleTerminal();

// Takes the console window out of the user's way (nothing where there is no separate window).
void HideConsoleWindow();

// Brings back a console window hidden by HideConsoleWindow.
void ShowConsoleWindow();

// True when whoever started the process asked for it to be hidden (Windows: SW_HIDE); such a
// run shows no window, since the first one it opens would stay hidden and wait for ever.
bool StartedHidden();
