#include "files.h"

#include <gtest/gtest.h>

#include "file_ops.h"
#include "support_fixtures.h"

namespace {

// A file of exactly the limit is read byte for byte; one byte less is refused. A file that
// cannot be opened is refused with the number its message shows.
TEST(ReadWholeFile, LimitAndFailures) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  const std::string bytes = std::string("\xEF\xBB\xBF\0a\rb\n\r\n\xFF", 10) + Text(200001, 'q');
  WriteRaw(path, bytes);
  FileContent whole, too_large, missing;
  std::string err;
  EXPECT_EQ(ReadWholeFile(path, bytes.size(), &whole, &err), kReadDone);
  EXPECT_EQ(whole.bytes, bytes);
  EXPECT_EQ(ReadWholeFile(path, bytes.size() - 1, &too_large, &err), kTooLarge);
  EXPECT_EQ(Text(too_large.bytes), "");
  const Text nowhere = folder.Path("nowhere") + kPathSeparator + "scenery.cfg";
  EXPECT_EQ(ReadWholeFile(nowhere, 100, &missing, &err), kCannotOpen);
  EXPECT_EQ(ReadFailureMessage(nowhere, kCannotOpen),
            "Error opening file: " + nowhere + "   Errorcode=2");
  EXPECT_EQ(Text(missing.bytes), "");
}

// Only "no such file" makes a new file: a path that cannot be inspected, here a loop of links,
// is not replaced as if nothing were there.
TEST(WriteWholeFile, RefusesATargetItCannotInspect) {
  ScratchFolder folder;
  std::error_code error;
  std::filesystem::create_symlink("b", folder.Path("a"), error);
  std::filesystem::create_symlink("a", folder.Path("b"), error);
  if (error) GTEST_SKIP() << "no symbolic links here";
  std::string err;
  const FileContent unread;
  EXPECT_EQ(WriteWholeFile(folder.Path("a"), {"new"}, {unread, {}}, &err), WriteResult::kFailed);
  EXPECT_TRUE(std::filesystem::is_symlink(folder.Path("a")));
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"a", "b"}));
}

TEST(WriteNewFile, ExactlyOneOfRacingRunsCreatesTheFileWithItsContent) {
  const FileContent like;  // none read: the file stays private
  for (int round = 0; round < 20; ++round) {
    ScratchFolder folder;
    const Text path = folder.Path("scenery_beforeinstall.cfg");
    std::vector<std::future<bool>> runs;
    for (char run = 'a'; run < 'e'; ++run) {
      runs.push_back(std::async(std::launch::async, [&path, &like, run] {
        std::string err;
        const WriteResult result = WriteNewFile(path, std::string(200000, run), like, &err);
        EXPECT_NE(result, WriteResult::kFailed) << err;
        return result == WriteResult::kWritten;
      }));
    }
    std::string creators;
    for (char run = 'a'; run < 'e'; ++run)
      if (runs[run - 'a'].get()) creators += run;
    ASSERT_EQ(creators.size(), 1u) << "round " << round;
    EXPECT_EQ(ReadRaw(path), std::string(200000, creators[0])) << "round " << round;
    EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery_beforeinstall.cfg"});
  }
}

TEST(RemoveStaleTemporaries, RemovesLeftoversOfDeadRunsOnly) {
  ScratchFolder folder;
  const std::set<std::string> kept = {
      "scenery.cfg",     "scenery.cfg.sceneryreg-.tmp",  "scenery.cfg.sceneryreg-1.tmp.bak",
      "scenery.cfg.tmp", "other.cfg.sceneryreg-1-0.tmp", "xscenery.cfg.sceneryreg-1-0.tmp"};
  for (const auto& name : kept) WriteRaw(folder.Path(name), "keep");
  for (const auto& name : {"scenery.cfg.sceneryreg-4711-0.tmp", "scenery.cfg.sceneryreg-x.tmp"})
    WriteRaw(folder.Path(name), "half");
  // One more, still being written by a live run.
  Text live;
  FileHandle file;
  std::string err;
  const Text library = folder.Path("scenery.cfg");
  ASSERT_TRUE(CreateTemporary(library, library, &live, &file, &err)) << err;
  std::set<std::string> kept_while_live = kept;
  kept_while_live.insert(std::filesystem::path(live).filename().string());
  RemoveStaleTemporaries(folder.Path("scenery.cfg"), TemporariesBeside::kName);
  EXPECT_EQ(folder.Names(), kept_while_live);
  CloseFile(&file);  // as when its run dies
  RemoveStaleTemporaries(folder.Path("scenery.cfg"), TemporariesBeside::kName);
  EXPECT_EQ(folder.Names(), kept);
}

}  // namespace
