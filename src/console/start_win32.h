#pragma once
// How a Windows process was started: whether anybody can see it, which console events close it,
// where its output goes, and its arguments in the system's code page.

#include <windows.h>

#include "text.h"

// Whether a start leaves nobody to see the process: asked to hide (STARTF_USESHOWWINDOW with
// SW_HIDE), on a window station without WSF_VISIBLE (a service, a task run whether the user is
// logged on or not), or in session 0, the services' own, where no user has a desktop even when
// an interactive service's station says it is visible.
bool IsHiddenStart(DWORD startup_flags, WORD show_window, DWORD station_flags, DWORD session);

// Whether a console control event closes the run as its close key would: the window closed, the
// user logging off, the system shutting down. Ctrl+C and Ctrl+Break end the process as usual.
bool IsCloseEvent(DWORD control_event);

// The control handler a waiting console installs: TRUE for a close event, which ends the wait
// as the close key; FALSE for any other, which the system then handles as usual.
BOOL WINAPI OnConsoleControl(DWORD control_event);

// What a standard output handle takes: characters on a console, or the bytes as they are
// anywhere else (a file, a pipe, the NUL device), for installers that read them.
enum class OutputSink { kConsole, kBytes };

// The sink of a handle of file_type (GetFileType) whose console mode could or could not be read.
OutputSink OutputSinkOf(DWORD file_type, bool has_console_mode);

// The arguments WideCharToMultiByte takes to convert into code_page without look-alikes.
struct ExactConversion {
  DWORD flags;
  // Whether the call may be asked if it used the default character.
  bool reports_default;
};

// The exact conversion the system allows for code_page, an ANSI code page: a single- or
// double-byte one, or UTF-8.
ExactConversion ExactConversionFor(UINT code_page);

// wide in code_page; false when a character has no exact counterpart there (no look-alike is
// taken instead) or the conversion fails.
bool ToCodePage(UINT code_page, const wchar_t* wide, Text* text);
