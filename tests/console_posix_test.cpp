#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "console.h"

namespace {

// A child process on a fresh pseudo-terminal that waits for keys and reports each code, and
// then whether its terminal mode came back as it was, through a pipe.
struct Waiter { pid_t pid = -1; int master = -1, results = -1; };

Waiter StartWaiter(int waits) {
  int pipe_fds[2];
  EXPECT_EQ(pipe(pipe_fds), 0);
  Waiter w;
  w.pid = forkpty(&w.master, nullptr, nullptr, nullptr);
  if (w.pid == 0) {
    close(pipe_fds[0]);
    struct termios before, after;
    tcgetattr(STDIN_FILENO, &before);
    for (int i = 0; i < waits; ++i) {
      int key = ConsoleTerminal().WaitForKey();
      if (write(pipe_fds[1], &key, sizeof key) != sizeof key) _exit(2);
    }
    tcgetattr(STDIN_FILENO, &after);
    int same = before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag &&
               before.c_cc[VMIN] == after.c_cc[VMIN];
    if (write(pipe_fds[1], &same, sizeof same) != sizeof same) _exit(2);
    _exit(0);
  }
  close(pipe_fds[1]);
  w.results = pipe_fds[0];
  return w;
}

// The mode of the child's side of the terminal, as seen from the master side.
struct termios ChildMode(const Waiter& w) {
  struct termios mode = {};
  tcgetattr(w.master, &mode);
  return mode;
}

// Bounded: the child switches within moments unless it is broken.
bool WaitUntilKeysAreTakenOneByOne(const Waiter& w) {
  for (int i = 0; i < 2000; ++i) {
    if (!(ChildMode(w).c_lflag & ICANON)) return true;
    usleep(5000);
  }
  return false;
}

// Reads one int from the child, or -1 when it sends nothing more.
int ReadResult(const Waiter& w) {
  struct pollfd p = {w.results, POLLIN, 0};
  if (poll(&p, 1, 10000) <= 0) return -1;
  int value;
  return read(w.results, &value, sizeof value) == sizeof value ? value : -1;
}

// Reaps the child, killing it when it has not ended within moments (a wait that hangs), and
// tells whether it exited normally with code 0.
bool Finish(Waiter& w) {
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 2000 && !(ended = waitpid(w.pid, &status, WNOHANG) == w.pid); ++i) usleep(5000);
  if (!ended && kill(w.pid, SIGKILL) == 0) waitpid(w.pid, &status, 0);
  close(w.master);
  close(w.results);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ConsoleTerminalPosix, OneKeyEndsOneWait) {
  // What is typed in one burst once the child waits, and the key codes it must give; 256
  // stands for "any code of 256 or more".
  struct Case { const char* name; std::string typed; std::vector<int> expected; };
  const Case cases[] = {
      {"letter", "x", {'x'}},
      {"Enter", "\r", {13}},
      {"Esc alone", "\x1b", {27}},
      {"arrow, then a letter", "\x1b[Az", {256, 'z'}},
      {"function key with parameters, then a letter", "\x1b[15~z", {256, 'z'}},
      {"shifted arrow, then a letter", "\x1b[1;2Cz", {256, 'z'}},
      {"key of the keypad mode, then a letter", "\x1bOPz", {256, 'z'}},
  };
  for (const auto& c : cases) {
    Waiter w = StartWaiter(static_cast<int>(c.expected.size()));
    ASSERT_TRUE(WaitUntilKeysAreTakenOneByOne(w)) << c.name;
    struct termios waiting = ChildMode(w);
    EXPECT_FALSE(waiting.c_lflag & ECHO) << c.name;
    EXPECT_TRUE(waiting.c_lflag & ISIG) << c.name;
    ASSERT_EQ(write(w.master, c.typed.data(), c.typed.size()), (ssize_t)c.typed.size());
    for (int expected : c.expected) {
      int key = ReadResult(w);
      EXPECT_TRUE(expected == 256 ? key >= 256 : key == expected) << c.name << ": " << key;
    }
    EXPECT_EQ(ReadResult(w), 1) << c.name << ": terminal mode not restored";
    EXPECT_TRUE(Finish(w)) << c.name;
  }
}

TEST(ConsoleTerminalPosix, KeyTypedBeforeTheWaitEndsIt) {
  Waiter w = StartWaiter(1);
  // Typed while the child may not be waiting yet: the line discipline keeps it.
  ASSERT_EQ(write(w.master, "k", 1), 1);
  EXPECT_EQ(ReadResult(w), 'k');
  EXPECT_EQ(ReadResult(w), 1);
  EXPECT_TRUE(Finish(w));
}

TEST(ConsoleTerminalPosix, CtrlCEndsTheProgramAndRestoresTheTerminal) {
  Waiter w = StartWaiter(1);
  ASSERT_TRUE(WaitUntilKeysAreTakenOneByOne(w));
  ASSERT_EQ(write(w.master, "\x03", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(w.pid, &status, 0), w.pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  struct termios after = ChildMode(w);
  EXPECT_TRUE(after.c_lflag & ICANON);
  EXPECT_TRUE(after.c_lflag & ECHO);
  close(w.master);
  close(w.results);
}

}  // namespace
