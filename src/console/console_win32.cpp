#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "console.h"
#include "keys.h"
#include "start_win32.h"

namespace {

// Set by the control handler, which runs on a thread of the system's, and taken by the wait.
std::atomic<bool> close_requested{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    close_requested = true;
    return TRUE;
  }
  return FALSE;  // Ctrl+C and Ctrl+Break end the process as usual
}

// The event as ConsoleKeyCode decides on it.
ConsoleKeyEvent KeyEventOf(const INPUT_RECORD& event) {
  const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
  return {event.EventType == KEY_EVENT, key.bKeyDown != FALSE,
          static_cast<unsigned char>(key.uChar.AsciiChar), key.wVirtualKeyCode};
}

class Win32Console : public Terminal {
 public:
  ~Win32Console() override {
    if (handler_installed_) SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  }

  void Print(const Text& text) override {
    // Binary, so that "\r\n" is not written as "\r\r\n"; set on each call because the
    // descriptor behind stdout may have been replaced since the last one.
    fflush(stdout);
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
  return IsHiddenStart(startup.dwFlags, startup.wShowWindow, station_flags);
}

void ShowConsoleWindow() {
  if (HWND window = GetConsoleWindow()) ShowWindow(window, SW_SHOW);
}
