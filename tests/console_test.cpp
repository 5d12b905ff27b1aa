#include "console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "support_fixtures.h"

namespace {

// Points the C runtime's descriptor fd at file (opened in the runtime's default mode, which
// is text mode on Windows) for the life of this object.
struct Redirect {
  Redirect(int fd, const Text& file, int flags) : fd(fd), saved(dup(fd)) {
    fflush(stdout);
    int opened = open(file.c_str(), flags, 0644);
    dup2(opened, fd);
    close(opened);
  }
  ~Redirect() {
    fflush(stdout);
    dup2(saved, fd);
    close(saved);
  }
  int fd, saved;
};

TEST(ConsoleTerminal, PrintPassesBytesThroughUnchanged) {
  ScratchFolder folder;
  Text out = folder.Path("out.txt");
  const std::string message = std::string("Caution: 'Title'\r\nnext\nbare\rNUL\0end\t\x8E", 38);
  {
    Redirect redirect(1, out, O_WRONLY | O_CREAT | O_TRUNC);
    ConsoleTerminal().Print(message);
    ConsoleTerminal().Print("\r\n");
  }
  EXPECT_EQ(ReadRaw(out), message + "\r\n");
}

TEST(ConsoleTerminal, NoKeyWaitWithoutAnInteractiveInput) {
  // With keys in the redirected input, a wait that read them would return their code.
  for (const std::string input : {"", "x\r\n"}) {
    ScratchFolder folder;
    WriteRaw(folder.Path("in.txt"), input);
    Redirect redirect(0, folder.Path("in.txt"), O_RDONLY);
    EXPECT_EQ(ConsoleTerminal().WaitForKey(), 0) << input;
  }
}

}  // namespace
