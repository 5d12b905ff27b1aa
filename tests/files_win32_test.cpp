#include <windows.h>

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

Text WithSlashes(Text path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

TEST(FilesWin32, SlashPathsWorkAndMessagesShowThemUnchanged) {
  ScratchFolder folder;
  Text slashed = WithSlashes(folder.Path("scenery.cfg"));
  ASSERT_NE(slashed, folder.Path("scenery.cfg"));

  std::string err;
  ASSERT_TRUE(WriteWholeFile(slashed, "[General]\r\n", &err)) << err;
  EXPECT_EQ(ReadRaw(folder.Path("scenery.cfg")), "[General]\r\n");
  RecordingTerminal terminal;
  Text content;
  EXPECT_EQ(ReadWholeFile(slashed, false, terminal, 1 << 20, &content, &err), kReadDone);
  EXPECT_EQ(content, "[General]\r\n");
  RemoveStaleTemporaries(slashed);
  EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery.cfg"});

  Text missing = WithSlashes(folder.Path("missing.cfg"));
  EXPECT_EQ(ReadWholeFile(missing, false, terminal, 1 << 20, &content, &err), kCannotOpen);
  EXPECT_EQ(terminal.shown, "Error opening file: " + missing + "   Errorcode=2\r\n<key>");
}

TEST(FilesWin32, ReplaceKeepsTheTargetsAttributes) {
  ScratchFolder folder;
  Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "old");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  std::string err;
  ASSERT_TRUE(WriteWholeFile(path, "new", &err)) << err;
  EXPECT_EQ(ReadRaw(path), "new");
  EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

// Another program holds the library open without letting it be deleted, so the new content
// is written but cannot be put in place.
TEST(FilesWin32, FailureMidwayLeavesTheOldFileAndNoTemporary) {
  ScratchFolder folder;
  Text path = folder.Path("scenery.cfg");
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

TEST(FilesWin32, ReadWaitsOutAShortSharingViolation) {
  ScratchFolder folder;
  Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "library");
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::thread release([holder] {
    Sleep(200);
    CloseHandle(holder);
  });
  RecordingTerminal terminal;
  Text content;
  std::string err;
  ReadFailure read = ReadWholeFile(path, false, terminal, 1 << 20, &content, &err);
  release.join();
  EXPECT_EQ(read, kReadDone) << err;
  EXPECT_EQ(content, "library");
  EXPECT_EQ(terminal.shown, "");
}

}  // namespace
