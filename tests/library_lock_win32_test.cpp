#include <windows.h>

#include <gtest/gtest.h>

#include "library_lock.h"
#include "support_fixtures.h"

namespace {

using std::chrono::milliseconds;
using namespace std::chrono_literals;

// Whether another run waiting up to wait would be granted the lock on library.
bool Granted(const Text& library, milliseconds wait) {
  std::string err;
  return LockLibrary(library, wait, &err) != nullptr;
}

// Run only as the child of the test below: takes the lock, says so, and waits to be killed.
TEST(LibraryLockWin32, HolderProcess) {
  const char* folder = getenv("SCENERYREG_TEST_LOCK_HOLDER");
  if (!folder) GTEST_SKIP() << "only run as a child process";
  std::string err;
  auto lock = LockLibrary(Text(folder) + "\\scenery.cfg", 0ms, &err);
  if (lock) WriteRaw(Text(folder) + "\\held", "");
  Sleep(INFINITE);
}

// A run already waiting when the holder is killed gets the lock, and so does a later one.
TEST(LibraryLockWin32, LockOfAKilledRunIsReleased) {
  ScratchFolder folder;
  const Text library = folder.Path("scenery.cfg");
  WriteRaw(library, "[General]\r\n");
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  SetEnvironmentVariableA("SCENERYREG_TEST_LOCK_HOLDER", folder.Path().c_str());
  Text command = "\"" + Text(self) + "\" --gtest_filter=LibraryLockWin32.HolderProcess";
  STARTUPINFOA startup = {sizeof startup};
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &child));
  for (int i = 0; i < 2000 && !std::filesystem::exists(folder.Path("held")); ++i) Sleep(10);
  EXPECT_FALSE(Granted(library, 100ms));
  auto waiting = std::async(std::launch::async, [&] { return Granted(library, 9s); });
  Sleep(100);
  TerminateProcess(child.hProcess, 1);
  WaitForSingleObject(child.hProcess, INFINITE);
  EXPECT_TRUE(waiting.get());
  EXPECT_TRUE(Granted(library, 0ms));
}

}  // namespace
