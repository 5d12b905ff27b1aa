#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iterator>

#include "console.h"

namespace {

// The terminal's mode before the wait, for the signal handler to put back. A handler cannot
// be handed parameters, so this one piece of state lives here.
struct termios saved_mode;

const int kRestoredSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// Puts the terminal back as the user had it, then dies of the signal as if never caught.
void RestoreAndReraise(int signal_number) {
  tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// One byte from the terminal, or -1 when none comes within timeout_ms (-1: wait for ever)
// or the terminal is gone.
int ReadByte(int timeout_ms) {
  struct pollfd p = {STDIN_FILENO, POLLIN, 0};
  for (;;) {
    int ready = poll(&p, 1, timeout_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return -1;
    unsigned char c;
    ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    return n == 1 ? c : -1;
  }
}

// Arrow and function keys arrive as ESC [ ... final or ESC O final, in one burst; the rest of
// the burst is taken too, so one key press ends one wait. ESC on its own is the Esc key.
int ReadKey() {
  int c = ReadByte(-1);
  if (c != 27) return c < 0 ? 0 : c;
  const int kBurstMs = 50;
  int next = ReadByte(kBurstMs);
  if (next < 0) return 27;
  if (next == '[') {
    int b;
    do {
      b = ReadByte(kBurstMs);
    } while (b >= 0x20 && b < 0x40);  // parameter and intermediate bytes
    return 256 + (b < 0 ? 0 : b);
  }
  if (next == 'O') {
    int b = ReadByte(kBurstMs);
    return 256 + (b < 0 ? 0 : b);
  }
  return 256 + next;  // Alt with a key
}

class PosixConsole : public Terminal {
 public:
  void Print(const Text& text) override {
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
  }

  int WaitForKey() override {
    // A job in the background would be stopped by the terminal as soon as it switched modes.
    if (!isatty(STDIN_FILENO) || tcgetpgrp(STDIN_FILENO) != getpgrp() ||
        tcgetattr(STDIN_FILENO, &saved_mode) != 0) {
      return 0;
    }
    struct sigaction restore = {};
    restore.sa_handler = RestoreAndReraise;
    struct sigaction previous[std::size(kRestoredSignals)];
    for (size_t i = 0; i < std::size(kRestoredSignals); ++i) {
      sigaction(kRestoredSignals[i], &restore, &previous[i]);
    }
    // Keys one by one and unechoed; ISIG stays so Ctrl+C still ends the program.
    struct termios raw = saved_mode;
    raw.c_lflag &= ~(ICANON | ECHO);
    raw.c_iflag &= ~ICRNL;  // Enter arrives as CR (13), as on a console
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);

    int key = ReadKey();

    tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    for (size_t i = 0; i < std::size(kRestoredSignals); ++i) {
      sigaction(kRestoredSignals[i], &previous[i], nullptr);
    }
    return key;
  }
};

}  // namespace

Terminal& ConsoleTerminal() {
  static PosixConsole console;
  return console;
}

bool HideConsoleWindow() { return false; }

void ShowConsoleWindow() {}

bool StartedHidden() { return false; }
