#include "files.h"

#include <gtest/gtest.h>

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

TEST(ReadWholeFile, ReturnsEveryByteAndShowsNothing) {
  for (const auto& c : kContents) {
    ScratchFolder folder;
    WriteRaw(folder.Path("scenery.cfg"), c.bytes);
    for (bool quiet : {false, true}) {
      RecordingTerminal terminal;
      EXPECT_EQ(ReadWholeFile(folder.Path("scenery.cfg"), quiet, terminal),
                std::optional<Text>(c.bytes)) << c.name;
      EXPECT_EQ(terminal.shown, "") << c.name;
      EXPECT_EQ(terminal.waits, 0) << c.name;
    }
  }
}

// Over a longer file, which must be cut, and as a new file.
TEST(WriteWholeFile, WritesExactlyTheContent) {
  for (const auto& c : kContents) {
    ScratchFolder folder;
    Text path = folder.Path("scenery.cfg");
    WriteRaw(path, std::string(300000, 'x'));
    EXPECT_TRUE(WriteWholeFile(path, c.bytes)) << c.name;
    EXPECT_EQ(ReadRaw(path), c.bytes) << c.name;
    EXPECT_TRUE(WriteWholeFile(folder.Path("new.cfg"), c.bytes)) << c.name;
    EXPECT_EQ(ReadRaw(folder.Path("new.cfg")), c.bytes) << c.name;
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"new.cfg", "scenery.cfg"})) << c.name;
  }
}

TEST(ReadWholeFile, FailuresShowTheMessageUnlessQuiet) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.Path("a folder"));
  for (const Text& path : {folder.Path("scenery.cfg"), folder.Path("a folder"),
                           folder.Path("nowhere") + kPathSeparator + "scenery.cfg"}) {
    RecordingTerminal loud, quiet;
    EXPECT_FALSE(ReadWholeFile(path, false, loud).has_value()) << path;
    EXPECT_EQ(loud.shown, "Error opening file: " + path + "   Errorcode=2\r\n<key>");
    EXPECT_FALSE(ReadWholeFile(path, true, quiet).has_value()) << path;
    EXPECT_EQ(quiet.shown, "") << path;
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
  EXPECT_FALSE(WriteWholeFile(path, "new\r\n"));
  EXPECT_EQ(ReadRaw(path), "old\r\n");
  // A folder in the target's place, and a target in a missing folder, which is not created.
  std::filesystem::create_directory(folder.Path("sub"));
  EXPECT_FALSE(WriteWholeFile(folder.Path("sub"), "new\r\n"));
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path("sub")));
  EXPECT_FALSE(WriteWholeFile(folder.Path("missing") + kPathSeparator + "scenery.cfg", "data"));
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"scenery.cfg", "sub"}));
}

TEST(RemoveStaleTemporaries, RemovesLeftoversOfThatTargetOnly) {
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
  RemoveStaleTemporaries(folder.Path("scenery.cfg"));
  EXPECT_EQ(folder.Names(), kept);
  EXPECT_EQ(ReadRaw(folder.Path("scenery.cfg")), "keep");
}

TEST(ChangeFolder, RelativePathsFollowTheNewFolder) {
  ScratchFolder folder;
  WriteRaw(folder.Path("scenery.cfg"), "here");
  Text before = CurrentFolder();
  ASSERT_FALSE(before.empty());

  ASSERT_EQ(ChangeFolder(folder.Path() + kPathSeparator), 0);
  EXPECT_TRUE(std::filesystem::equivalent(CurrentFolder(), folder.Path()));
  RecordingTerminal terminal;
  EXPECT_EQ(ReadWholeFile("scenery.cfg", true, terminal), std::optional<Text>("here"));
  EXPECT_TRUE(FileExists("scenery.cfg"));

  EXPECT_EQ(ChangeFolder(folder.Path("missing")), -1);
  EXPECT_TRUE(std::filesystem::equivalent(CurrentFolder(), folder.Path()));
  ASSERT_EQ(ChangeFolder(before), 0);
}

TEST(CommandArgument, OutOfRangeIsEmpty) {
  const std::vector<Text> args = {"sceneryreg", "C:\\Sim", "ADD", "C:\\My Scenery", "My Title"};
  struct Case { int n; Text expected; };
  const Case cases[] = {{-1, ""},         {0, "sceneryreg"}, {1, "C:\\Sim"}, {3, "C:\\My Scenery"},
                        {4, "My Title"}, {5, ""},           {1000, ""}};
  for (const auto& c : cases) EXPECT_EQ(CommandArgument(args, c.n), c.expected) << c.n;
  EXPECT_EQ(CommandArgument({}, 0), "");
}

}  // namespace
