#include <windows.h>

#include <thread>

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

// A run replacing the library holds it unshared for a moment; a reader waits that out instead
// of taking the library for missing.
TEST(FilesWin32, ReadWaitsOutAShortSharingViolation) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "library");
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::thread release([holder] { Sleep(200); CloseHandle(holder); });
  RecordingTerminal terminal;
  Text content;
  std::string err;
  EXPECT_EQ(ReadWholeFile(path, false, terminal, 1 << 20, &content, &err), kReadDone) << err;
  release.join();
  EXPECT_EQ(content + terminal.shown, "library");
}

}  // namespace
