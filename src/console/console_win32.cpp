#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <string>

#include "console.h"
#include "keys.h"
#include "start_win32.h"

namespace {

// Set by the control handler, which runs on a thread of the system's, and taken by the wait.
std::atomic<bool> close_requested{false};

// The event as ConsoleKeyCode decides on it.
ConsoleKeyEvent KeyEventOf(const INPUT_RECORD& event) {
  const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
  return {event.EventType == KEY_EVENT, key.bKeyDown != FALSE,
          static_cast<unsigned char>(key.uChar.AsciiChar), key.wVirtualKeyCode};
}

// UTF-16 units per WriteConsoleW, well inside the 64 KB the console's buffers share.
constexpr size_t kUnitsPerWrite = 8192;

// Writes wide to the console, never splitting a surrogate pair between two writes.
void WriteWide(HANDLE console, const std::wstring& wide) {
  for (size_t at = 0; at < wide.size();) {
    size_t n = std::min(wide.size() - at, kUnitsPerWrite);
    if (at + n < wide.size() && IS_HIGH_SURROGATE(wide[at + n - 1])) --n;
    DWORD written = 0;
    if (!WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(n), &written, nullptr) ||
        written == 0)
      return;
    at += written;
  }
}

// Shows text, kept in the ANSI code page, as its characters: the console would read bytes in
// its own output code page (437 or 850 on most systems) and show other letters.
void WriteCharacters(HANDLE console, const Text& text) {
  const int size = static_cast<int>(text.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  WriteWide(console, wide);
}

class Win32Console : public Terminal {
 public:
  ~Win32Console() override {
    if (handler_installed_) SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  }

  void Print(const Text& text) override {
    fflush(stdout);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    // Texts come in pieces far below the int a conversion takes: a message, or a piece of a
    // listing.
    if (text.size() <= INT_MAX &&
        OutputSinkOf(GetFileType(out), GetConsoleMode(out, &mode)) == OutputSink::kConsole) {
      WriteCharacters(out, text);
      return;
    }
    // Binary, so that "\r\n" is not written as "\r\r\n"; set on each call because the
    // descriptor behind stdout may have been replaced since the last one.
    _setmode(_fileno(stdout), _O_BINARY);
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
  }

  int WaitForKey() override {
    // No console window (started with CREATE_NO_WINDOW or detached) or a hidden start: the
    // key could never be typed. A terminal's pseudo console reports an invisible window of
    // its own, so visibility alone cannot tell.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode) ||
        GetConsoleWindow() == nullptr || StartedHidden()) {
      return 0;
    }
    if (!handler_installed_) {
      SetConsoleMode(input, mode | ENABLE_PROCESSED_INPUT);
      SetConsoleCtrlHandler(OnConsoleControl, TRUE);
      handler_installed_ = true;
    }
    for (;;) {
      if (close_requested.exchange(false)) return kCloseKey;
      DWORD waiting = 0;
      if (GetNumberOfConsoleInputEvents(input, &waiting) && waiting > 0) {
        INPUT_RECORD event;
        DWORD read = 0;
        if (ReadConsoleInputA(input, &event, 1, &read) && read == 1) {
          int key = ConsoleKeyCode(KeyEventOf(event));
          if (key != 0) return key;
        }
        continue;
      }
      // Wakes on new input at once, and otherwise looks at the close request now and then.
      WaitForSingleObject(input, 50);
    }
  }

 private:
  bool handler_installed_ = false;
};

}  // namespace

BOOL WINAPI OnConsoleControl(DWORD control_event) {
  if (!IsCloseEvent(control_event)) return FALSE;
  close_requested = true;
  return TRUE;
}

bool IsCloseEvent(DWORD control_event) {
  return control_event == CTRL_CLOSE_EVENT || control_event == CTRL_LOGOFF_EVENT ||
         control_event == CTRL_SHUTDOWN_EVENT;
}

Terminal& ConsoleTerminal() {
  static Win32Console console;
  return console;
}

bool HideConsoleWindow() {
  // A console shared with the batch file or installer that started this run is theirs too:
  // hidden, it would hide their next prompt and the key it waits for.
  DWORD processes[2];
  HWND window = GetConsoleWindow();
  if (!window || GetConsoleProcessList(processes, 2) != 1) return false;
  ShowWindow(window, SW_HIDE);
  return true;
}

bool StartedHidden() {
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  // A station whose flags cannot be read counts as the user's, as nearly every one is.
  USEROBJECTFLAGS station;
  DWORD needed;
  const DWORD station_flags = GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS,
                                                        &station, sizeof station, &needed)
                                  ? station.dwFlags
                                  : WSF_VISIBLE;
  // Likewise a session that cannot be read counts as a user's, which is any but session 0.
  DWORD session;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) session = 1;
  return IsHiddenStart(startup.dwFlags, startup.wShowWindow, station_flags, session);
}

void ShowConsoleWindow() {
  if (HWND window = GetConsoleWindow()) ShowWindow(window, SW_SHOW);
}
