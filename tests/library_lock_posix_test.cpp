#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "library_lock.h"
#include "support_fixtures.h"

namespace {

using std::chrono::milliseconds;

TEST(LibraryLockPosix, LockOfAKilledRunIsReleased) {
  ScratchFolder folder;
  const Text library = folder.Path("scenery.cfg");
  WriteRaw(library, "[General]\r\n");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string err;
    auto lock = LockLibrary(library, milliseconds(0), &err);
    char taken = lock ? 'y' : 'n';
    if (write(ready[1], &taken, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char taken = 0;
  ASSERT_EQ(read(ready[0], &taken, 1), 1);
  close(ready[0]);
  ASSERT_EQ(taken, 'y');
  EXPECT_FALSE(GrantedElsewhere(library, milliseconds(100)));

  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(GrantedElsewhere(library, milliseconds(0)));
}

}  // namespace
