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

// The child's exit status, once it ends; killed after 10 s.
int Ended(pid_t pid) {
  int status = 0;
  for (int i = 0; i < 2000 && waitpid(pid, &status, WNOHANG) != pid; ++i) usleep(5000);
  if (kill(pid, SIGKILL) == 0) waitpid(pid, &status, 0);
  return status;
}

// A child on a fresh pseudo-terminal waits for keys; typed arrives once the terminal takes
// keys one by one, or at once when early (a key typed before the wait must not be lost). The
// child sends each key code, then 1 when its terminal mode came back as it was. 256 in expected
// stands for any code of 256 or more; an empty expected means the child must die of Ctrl+C,
// leaving the terminal as it was; background runs the wait in a job of the terminal's background.
TEST(ConsoleTerminalPosix, OneKeyEndsOneWaitAndTheTerminalComesBack) {
  struct Case { const char* name; std::string typed; std::vector<int> expected; bool early, background; };
  const Case cases[] = {
      {"letter", "x", {'x'}, false, false},   {"letter typed early", "k", {'k'}, true, false},
      {"Enter", "\r", {13}, false, false},    {"Esc alone", "\x1b", {27}, false, false},
      {"arrow, then a letter", "\x1b[Az", {256, 'z'}, false, false},
      {"function key with parameters, then a letter", "\x1b[15;2~z", {256, 'z'}, false, false},
      {"key of the keypad mode, then a letter", "\x1bOPz", {256, 'z'}, false, false},
      {"Ctrl+C ends the program", "\x03", {}, false, false},
      {"a background job does not wait", "", {0}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int results[2], master = -1;
    ASSERT_EQ(pipe(results), 0);
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
      // A session leader cannot leave its process group: the background job is a child.
      if (c.background) {
        if (pid_t job = fork(); job != 0) {
          int status = 0;
          waitpid(job, &status, 0);
          _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 3);
        }
        setpgid(0, 0);
      }
      struct termios before, after;
      tcgetattr(STDIN_FILENO, &before);
      for (size_t i = 0; i < std::max<size_t>(c.expected.size(), 1); ++i) {
        int key = ConsoleTerminal().WaitForKey();
        if (write(results[1], &key, sizeof key) != sizeof key) _exit(2);
      }
      tcgetattr(STDIN_FILENO, &after);
      int same = before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag;
      _exit(write(results[1], &same, sizeof same) == sizeof same ? 0 : 2);
    }
    close(results[1]);
    struct termios mode = {};
    for (int i = 0; i < 2000 && !c.early && (tcgetattr(master, &mode), mode.c_lflag & ICANON); ++i)
      usleep(5000);
    EXPECT_TRUE(c.early || (!(mode.c_lflag & (ICANON | ECHO)) && (mode.c_lflag & ISIG)));
    EXPECT_EQ(write(master, c.typed.data(), c.typed.size()), (ssize_t)c.typed.size());
    for (int want : c.expected) {
      const int key = Receive(results[0]);
      EXPECT_TRUE(want == 256 ? key >= 256 : key == want) << key;
    }
    if (!c.expected.empty()) EXPECT_EQ(Receive(results[0]), 1) << "terminal mode not restored";
    const int status = Ended(pid);
    tcgetattr(master, &mode);
    EXPECT_TRUE((mode.c_lflag & ICANON) && (mode.c_lflag & ECHO));
    EXPECT_TRUE(c.expected.empty() ? WIFSIGNALED(status) && WTERMSIG(status) == SIGINT
                                   : WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    close(master);
    close(results[0]);
  }
}

}  // namespace
