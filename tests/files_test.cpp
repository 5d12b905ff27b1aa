#include "files.h"

#include <gtest/gtest.h>

#include "file_ops.h"
#include "support_fixtures.h"

namespace {

using std::filesystem::perms;

struct ContentCase { const char* name; std::string bytes; };

const ContentCase kContents[] = {
    {"byte-order mark and CR LF", "\xEF\xBB\xBF[General]\r\nTitle=Sim\r\n"},
    {"NUL bytes", std::string("a\0b\0\0c", 6)},
    {"bare CR and bare LF", "one\rtwo\nthree\r\n\n\r"},
    {"no line end at the end", "Layer=12"},
    {"high bytes", "\xFF\xFE\x80\x1A\x7F"},
    {"larger than one transfer buffer", std::string(200001, 'q') + "\r\nend"},
    {"empty", ""},
};

const size_t kNoLimit = size_t{1} << 30;

// The content of path as ReadWholeFile gives it, or "<failure n>".
Text Read(const Text& path, bool quiet, Terminal& terminal, size_t limit = kNoLimit) {
  Text content = "stale";
  std::string err;
  ReadFailure failure = ReadWholeFile(path, quiet, terminal, limit, &content, &err);
  if (failure == kReadDone) return content;
  EXPECT_NE(err, "") << path;
  EXPECT_EQ(content, "") << path;
  return "<failure " + std::to_string(failure) + ">";
}

bool Write(const Text& path, const Text& content) {
  std::string err;
  bool written = WriteWholeFile(path, content, &err);
  EXPECT_EQ(err.empty(), written) << path << ": " << err;
  return written;
}

// Written over a longer file, which must be cut, and as a new file; read back as written.
TEST(WholeFiles, EveryByteGoesThroughBothWays) {
  for (const auto& c : kContents) {
    ScratchFolder folder;
    for (const Text name : {"scenery.cfg", "new.cfg"}) {
      if (name == "scenery.cfg") WriteRaw(folder.Path(name), std::string(300000, 'x'));
      EXPECT_TRUE(Write(folder.Path(name), c.bytes)) << c.name;
      EXPECT_EQ(ReadRaw(folder.Path(name)), c.bytes) << c.name;
      RecordingTerminal terminal;
      EXPECT_EQ(Read(folder.Path(name), false, terminal), c.bytes) << c.name;
      EXPECT_EQ(terminal.shown, "") << c.name;
    }
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"new.cfg", "scenery.cfg"})) << c.name;
  }
}

TEST(ReadWholeFile, FailuresShowTheMessageUnlessQuiet) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.Path("a folder"));
  for (const Text& path : {folder.Path("scenery.cfg"), folder.Path("a folder"),
                           folder.Path("nowhere") + kPathSeparator + "scenery.cfg"}) {
    RecordingTerminal loud, quiet;
    EXPECT_EQ(Read(path, false, loud), "<failure 2>");
    EXPECT_EQ(loud.shown, "Error opening file: " + path + "   Errorcode=2\r\n<key>");
    EXPECT_EQ(Read(path, true, quiet), "<failure 2>");
    EXPECT_EQ(quiet.shown, "") << path;
  }
}

// The refusal comes without a message: the caller has its own for it.
TEST(ReadWholeFile, RefusesAFileLargerThanTheLimit) {
  ScratchFolder folder;
  WriteRaw(folder.Path("scenery.cfg"), std::string(100000, 'x'));
  RecordingTerminal terminal;
  EXPECT_EQ(Read(folder.Path("scenery.cfg"), false, terminal, 99999), "<failure 4>");
  EXPECT_EQ(Read(folder.Path("scenery.cfg"), false, terminal, 100000), std::string(100000, 'x'));
  EXPECT_EQ(terminal.shown, "");
}

TEST(WriteNewFile, ExactlyOneOfRacingRunsCreatesTheFileWithItsContent) {
  for (int round = 0; round < 20; ++round) {
    ScratchFolder folder;
    const Text path = folder.Path("scenery_beforeinstall.cfg");
    std::vector<std::future<bool>> runs;
    for (int run = 0; run < 4; ++run) {
      runs.push_back(std::async(std::launch::async, [&path, run] {
        bool created = false;
        std::string err;
        EXPECT_TRUE(WriteNewFile(path, std::string(200000, 'a' + run), &created, &err)) << err;
        return created;
      }));
    }
    int creators = 0;
    char creator = 0;
    for (int run = 0; run < 4; ++run) {
      if (runs[run].get()) ++creators, creator = 'a' + run;
    }
    ASSERT_EQ(creators, 1) << "round " << round;
    EXPECT_EQ(ReadRaw(path), std::string(200000, creator)) << "round " << round;
    EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery_beforeinstall.cfg"});
  }
}

TEST(FileExists, OnlyReadableFilesExist) {
  ScratchFolder folder;
  WriteRaw(folder.Path("scenery.cfg"), "x");
  WriteRaw(folder.Path("empty.cfg"), "");
  std::filesystem::create_directory(folder.Path("sub"));
  struct Case { Text path; bool exists; };
  const Case cases[] = {
      {folder.Path("scenery.cfg"), true},    {folder.Path("empty.cfg"), true},
      {folder.Path("sub"), false},           {folder.Path("sub") + kPathSeparator, false},
      {folder.Path("missing.cfg"), false},
      {folder.Path("missing") + kPathSeparator + "scenery.cfg", false},
  };
  for (const auto& c : cases) EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
}

TEST(WriteWholeFile, TargetsThatMayNotBeWrittenStayAsTheyWere) {
  ScratchFolder folder;
  Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "old\r\n");
  // No write bit for anybody: the read-only attribute on Windows. Root ignores the bits when
  // opening, so this is what the user's intent must be read from.
  std::filesystem::permissions(path, perms::owner_read | perms::group_read | perms::others_read);
  EXPECT_FALSE(Write(path, "new\r\n"));
  EXPECT_EQ(ReadRaw(path), "old\r\n");
  // A folder in the target's place, and a target in a missing folder, which is not created.
  std::filesystem::create_directory(folder.Path("sub"));
  EXPECT_FALSE(Write(folder.Path("sub"), "new\r\n"));
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path("sub")));
  EXPECT_FALSE(Write(folder.Path("missing") + kPathSeparator + "scenery.cfg", "data"));
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"scenery.cfg", "sub"}));
}

TEST(RemoveStaleTemporaries, RemovesLeftoversOfDeadRunsOnly) {
  ScratchFolder folder;
  const std::set<std::string> leftovers = {
      "scenery.cfg.sceneryreg-4711-0.tmp",
      "scenery.cfg.sceneryreg-x.tmp",
  };
  const std::set<std::string> kept = {
      "scenery.cfg",
      "scenery.cfg.sceneryreg-.tmp",
      "scenery.cfg.sceneryreg-1.tmp.bak",
      "scenery.cfg.tmp",
      "other.cfg.sceneryreg-1-0.tmp",
      "xscenery.cfg.sceneryreg-1-0.tmp",
  };
  for (const auto& name : leftovers) WriteRaw(folder.Path(name), "half");
  for (const auto& name : kept) WriteRaw(folder.Path(name), "keep");
  // One more, still being written by a live run.
  Text live;
  FileHandle file;
  std::string err;
  ASSERT_TRUE(CreateTemporary(folder.Path("scenery.cfg"), true, &live, &file, &err)) << err;
  std::set<std::string> kept_while_live = kept;
  kept_while_live.insert(std::filesystem::path(live).filename().string());

  RemoveStaleTemporaries(folder.Path("scenery.cfg"));
  EXPECT_EQ(folder.Names(), kept_while_live);
  EXPECT_EQ(ReadRaw(folder.Path("scenery.cfg")), "keep");
  CloseFile(&file);  // as when its run dies
  RemoveStaleTemporaries(folder.Path("scenery.cfg"));
  EXPECT_EQ(folder.Names(), kept);
}

}  // namespace
