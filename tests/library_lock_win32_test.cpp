#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "library_lock.h"
#include "support_fixtures.h"

namespace {

using std::chrono::milliseconds;

const char kHolderVariable[] = "SCENERYREG_TEST_LOCK_HOLDER";

// Run only as the child of the test below: takes the lock, says so, and waits to be killed.
TEST(LibraryLockWin32, HolderProcess) {
  const char* folder = getenv(kHolderVariable);
  if (!folder) GTEST_SKIP() << "only run as a child process";
  std::string err;
  auto lock = LockLibrary(Text(folder) + "\\scenery.cfg", milliseconds(0), &err);
  if (lock) WriteRaw(Text(folder) + "\\held", "");
  Sleep(INFINITE);
}

TEST(LibraryLockWin32, LockOfAKilledRunIsReleased) {
  ScratchFolder folder;
  const Text library = folder.Path("scenery.cfg");
  WriteRaw(library, "[General]\r\n");
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  ASSERT_TRUE(SetEnvironmentVariableA(kHolderVariable, folder.Path().c_str()));
  Text command = "\"" + Text(self) + "\" --gtest_filter=LibraryLockWin32.HolderProcess";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &child);
  SetEnvironmentVariableA(kHolderVariable, nullptr);
  ASSERT_TRUE(started);

  bool held = false;
  for (int i = 0; i < 2000 && !held; ++i) {
    held = std::filesystem::exists(folder.Path("held"));
    if (!held) Sleep(10);
  }
  EXPECT_TRUE(held);
  EXPECT_FALSE(GrantedElsewhere(library, milliseconds(100)));

  // A run already waiting when the holder dies gets the lock, and so does a later one.
  auto waiting = std::async(std::launch::async,
                            [&] { return GrantedElsewhere(library, milliseconds(20000)); });
  Sleep(100);
  TerminateProcess(child.hProcess, 1);
  WaitForSingleObject(child.hProcess, INFINITE);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  EXPECT_TRUE(waiting.get());
  EXPECT_TRUE(GrantedElsewhere(library, milliseconds(0)));
}

}  // namespace
