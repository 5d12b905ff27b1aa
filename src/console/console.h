#pragma once
// The process's console: standard output for text, the console or terminal for keys.

#include "terminal.h"

// The console as a Terminal. Its WaitForKey returns 0 at once unless standard input is an
// interactive console that the user can see: not redirected, not a console without a window,
// not a run started hidden, not a job in a terminal's background.
Terminal& ConsoleTerminal();

// Takes the console window out of the user's way when no other process shares it; true when
// it hid it (never where there is no separate window).
bool HideConsoleWindow();

// Brings back a console window hidden by HideConsoleWindow.
void ShowConsoleWindow();

// True when nobody can see the process (Windows: started with SW_HIDE, or on a window station
// no user sees); such a run shows no window, since it would wait for ever.
bool StartedHidden();
