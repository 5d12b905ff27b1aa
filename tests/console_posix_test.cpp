#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "console.h"

namespace {

// One int sent by the child, or -1 when none comes within 10 s.
int Receive(int fd) {
  struct pollfd p = {fd, POLLIN, 0};
  int value;
  return poll(&p, 1, 10000) == 1 && read(fd, &value, sizeof value) == sizeof value ? value : -1;
}

// The mode of the child's side of the terminal once it takes keys one by one (bounded: the
// child switches within moments unless it is broken).
struct termios WaitingMode(int master) {
  struct termios mode = {};
  for (int i = 0; i < 2000 && (tcgetattr(master, &mode), mode.c_lflag & ICANON); ++i)
    usleep(5000);
  return mode;
}

// A child process on a fresh pseudo-terminal waits for as many keys as expected holds after
// typed arrives (early: typed before the wait may have begun, and must not be lost). It sends
// each key code, then 1 when its terminal mode came back as it was. 256 in expected stands for
// "any code of 256 or more"; an empty expected means the child must die of SIGINT.
void TypeAndWait(const std::string& typed, const std::vector<int>& expected, bool early) {
  int results[2];
  ASSERT_EQ(pipe(results), 0);
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    struct termios before, after;
    tcgetattr(STDIN_FILENO, &before);
    for (size_t i = 0; i < std::max<size_t>(expected.size(), 1); ++i) {
      int key = ConsoleTerminal().WaitForKey();
      if (write(results[1], &key, sizeof key) != sizeof key) _exit(2);
    }
    tcgetattr(STDIN_FILENO, &after);
    int same = before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag;
    _exit(write(results[1], &same, sizeof same) == sizeof same ? 0 : 2);
  }
  close(results[1]);
  if (!early) {
    struct termios waiting = WaitingMode(master);
    EXPECT_FALSE(waiting.c_lflag & (ICANON | ECHO));
    EXPECT_TRUE(waiting.c_lflag & ISIG);
  }
  EXPECT_EQ(write(master, typed.data(), typed.size()), (ssize_t)typed.size());
  for (int want : expected) {
    int key = Receive(results[0]);
    EXPECT_TRUE(want == 256 ? key >= 256 : key == want) << key;
  }
  if (!expected.empty()) {
    EXPECT_EQ(Receive(results[0]), 1) << "terminal mode not restored";
  }
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 2000 && !(ended = waitpid(pid, &status, WNOHANG) == pid); ++i) usleep(5000);
  if (!ended && kill(pid, SIGKILL) == 0) waitpid(pid, &status, 0);
  if (expected.empty()) {
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    struct termios after = {};
    tcgetattr(master, &after);
    EXPECT_TRUE((after.c_lflag & ICANON) && (after.c_lflag & ECHO));
  } else {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  close(master);
  close(results[0]);
}

TEST(ConsoleTerminalPosix, OneKeyEndsOneWaitAndTheTerminalComesBack) {
  struct Case { const char* name; std::string typed; std::vector<int> expected; bool early; };
  const Case cases[] = {
      {"letter", "x", {'x'}, false},
      {"letter typed early", "k", {'k'}, true},
      {"Enter", "\r", {13}, false},
      {"Esc alone", "\x1b", {27}, false},
      {"arrow, then a letter", "\x1b[Az", {256, 'z'}, false},
      {"function key with parameters, then a letter", "\x1b[15;2~z", {256, 'z'}, false},
      {"key of the keypad mode, then a letter", "\x1bOPz", {256, 'z'}, false},
      {"Ctrl+C ends the program", "\x03", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TypeAndWait(c.typed, c.expected, c.early);
  }
}

// A job in the terminal's background must not wait: nobody types to it, and switching the
// terminal's mode would stop it.
TEST(ConsoleTerminalPosix, BackgroundJobDoesNotWait) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);
      _exit(ConsoleTerminal().WaitForKey() == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 3);
  }
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 2000 && !(ended = waitpid(pid, &status, WNOHANG) == pid); ++i) usleep(5000);
  if (!ended && kill(pid, SIGKILL) == 0) waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  close(master);
}

}  // namespace
