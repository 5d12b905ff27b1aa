#include <windows.h>

#include <thread>

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

// Another program half-way through writing the library in place, or a run replacing it, holds
// it for a moment; a reader waits that out instead of taking half a library, or none.
TEST(FilesWin32, ReadWaitsOutAWriteInPlace) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "");
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(writer, "libr", 4, &written, nullptr);
  std::thread finish([writer, &written] {
    Sleep(200);
    WriteFile(writer, "ary", 3, &written, nullptr);
    CloseHandle(writer);
  });
  RecordingTerminal terminal;
  Text content;
  std::string err;
  EXPECT_EQ(ReadWholeFile(path, false, terminal, 1 << 20, &content, nullptr, &err), kReadDone)
      << err;
  finish.join();
  EXPECT_EQ(content + terminal.shown, "library");
}

}  // namespace
