#include <windows.h>

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

// Through a path with forward slashes, which messages show unchanged: the replaced file keeps
// its attributes, and no temporary is left.
TEST(FilesWin32, SlashPathsWorkAndReplaceKeepsTheAttributes) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  Text slashed = path;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  WriteRaw(path, "old");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  std::string err;
  ASSERT_TRUE(WriteWholeFile(slashed, "new", &err)) << err;
  EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  RecordingTerminal terminal;
  Text content;
  EXPECT_EQ(ReadWholeFile(slashed, false, terminal, 1 << 20, &content, &err), kReadDone);
  EXPECT_EQ(content, "new");
  EXPECT_EQ(ReadWholeFile(slashed + "x", false, terminal, 1 << 20, &content, &err), kCannotOpen);
  EXPECT_EQ(terminal.shown, "Error opening file: " + slashed + "x   Errorcode=2\r\n<key>");
  EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery.cfg"});
}

// Another program holds the library open without letting it be deleted, so the new content
// is written but cannot be put in place.
TEST(FilesWin32, FailureMidwayLeavesTheOldFileAndNoTemporary) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "old content\r\n");
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::string err;
  EXPECT_FALSE(WriteWholeFile(path, "new content\r\n", &err));
  EXPECT_NE(err, "");
  CloseHandle(holder);
  EXPECT_EQ(ReadRaw(path), "old content\r\n");
  EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery.cfg"});
}

// A run replacing the library holds it unshared for a moment; a reader waits that out.
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
