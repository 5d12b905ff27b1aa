#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "console.h"

namespace {

// A child process on a fresh pseudo-terminal that waits for keys and sends each code, then
// whether its terminal mode came back as it was, through a pipe.
struct Waiter { pid_t pid = -1; int master = -1, results = -1; };

Waiter StartWaiter(int waits) {
  int pipe_fds[2];
  EXPECT_EQ(pipe(pipe_fds), 0);
  Waiter w;
  w.pid = forkpty(&w.master, nullptr, nullptr, nullptr);
  if (w.pid == 0) {
    struct termios before, after;
    tcgetattr(STDIN_FILENO, &before);
    for (int i = 0; i < waits; ++i) {
      int key = ConsoleTerminal().WaitForKey();
      if (write(pipe_fds[1], &key, sizeof key) != sizeof key) _exit(2);
    }
    tcgetattr(STDIN_FILENO, &after);
    int same = before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag;
    _exit(write(pipe_fds[1], &same, sizeof same) == sizeof same ? 0 : 2);
  }
  close(pipe_fds[1]);
  w.results = pipe_fds[0];
  return w;
}

// The mode of the child's side of the terminal, once it takes keys one by one (bounded: the
// child switches within moments unless it is broken).
struct termios WaitingMode(const Waiter& w) {
  struct termios mode = {};
  for (int i = 0; i < 2000 && (tcgetattr(w.master, &mode), mode.c_lflag & ICANON); ++i)
    usleep(5000);
  return mode;
}

// One int from the child, or -1 when it sends nothing more.
int ReadResult(const Waiter& w) {
  struct pollfd p = {w.results, POLLIN, 0};
  int value;
  if (poll(&p, 1, 10000) <= 0 || read(w.results, &value, sizeof value) != sizeof value) return -1;
  return value;
}

// Reaps the child, killing it when it hangs, and returns its wait status.
int Finish(Waiter& w) {
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 2000 && !(ended = waitpid(w.pid, &status, WNOHANG) == w.pid); ++i) usleep(5000);
  if (!ended && kill(w.pid, SIGKILL) == 0) waitpid(w.pid, &status, 0);
  close(w.master);
  close(w.results);
  return status;
}

TEST(ConsoleTerminalPosix, OneKeyEndsOneWaitAndTheModeComesBack) {
  // What is typed in one burst, and the key codes it gives; 256 stands for "any code of 256 or
  // more". An early key is typed before the wait may have begun: it must not be lost.
  struct Case { const char* name; std::string typed; std::vector<int> expected; bool early; };
  const Case cases[] = {
      {"letter", "x", {'x'}, false},
      {"letter typed early", "k", {'k'}, true},
      {"Enter", "\r", {13}, false},
      {"Esc alone", "\x1b", {27}, false},
      {"arrow, then a letter", "\x1b[Az", {256, 'z'}, false},
      {"function key with parameters, then a letter", "\x1b[15;2~z", {256, 'z'}, false},
      {"key of the keypad mode, then a letter", "\x1bOPz", {256, 'z'}, false},
  };
  for (const auto& c : cases) {
    Waiter w = StartWaiter(static_cast<int>(c.expected.size()));
    if (!c.early) {
      struct termios waiting = WaitingMode(w);
      EXPECT_FALSE(waiting.c_lflag & (ICANON | ECHO)) << c.name;
      EXPECT_TRUE(waiting.c_lflag & ISIG) << c.name;
    }
    ASSERT_EQ(write(w.master, c.typed.data(), c.typed.size()), (ssize_t)c.typed.size());
    for (int expected : c.expected) {
      int key = ReadResult(w);
      EXPECT_TRUE(expected == 256 ? key >= 256 : key == expected) << c.name << ": " << key;
    }
    EXPECT_EQ(ReadResult(w), 1) << c.name << ": terminal mode not restored";
    int status = Finish(w);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name;
  }
}

TEST(ConsoleTerminalPosix, CtrlCEndsTheProgramAndRestoresTheTerminal) {
  Waiter w = StartWaiter(1);
  ASSERT_FALSE(WaitingMode(w).c_lflag & ICANON);
  ASSERT_EQ(write(w.master, "\x03", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(w.pid, &status, 0), w.pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  struct termios after = {};
  tcgetattr(w.master, &after);
  EXPECT_TRUE((after.c_lflag & ICANON) && (after.c_lflag & ECHO));
  close(w.master);
  close(w.results);
}

}  // namespace
