#include "files.h"

#include <gtest/gtest.h>

#include "support_fixtures.h"

namespace {

using std::filesystem::perms;

struct ContentCase {
  const char* name;
  std::string bytes;
};

const ContentCase kContents[] = {
    {"byte-order mark and CR LF", "\xEF\xBB\xBF[General]\r\nTitle=Sim\r\n"},
    {"NUL bytes", std::string("a\0b\0\0c", 6)},
    {"bare CR and bare LF", "one\rtwo\nthree\r\n\n\r"},
    {"no line end at the end", "Layer=12"},
    {"high bytes", "\xFF\xFE\x80\x1A\x7F"},
    {"larger than one transfer buffer", std::string(200001, 'q') + "\r\nend"},
};

TEST(ReadWholeFile, ReturnsEveryByteAndShowsNothing) {
  for (const auto& c : kContents) {
    ScratchFolder folder;
    WriteRaw(folder.Path("scenery.cfg"), c.bytes);
    RecordingTerminal terminal;
    std::optional<Text> read = ReadWholeFile(folder.Path("scenery.cfg"), false, terminal);
    ASSERT_TRUE(read.has_value()) << c.name;
    EXPECT_EQ(*read, c.bytes) << c.name;
    EXPECT_TRUE(terminal.prints.empty()) << c.name;
    EXPECT_EQ(terminal.waits, 0) << c.name;
  }
}

TEST(WriteWholeFile, WritesExactlyTheContentOverALongerFile) {
  for (const auto& c : kContents) {
    ScratchFolder folder;
    Text path = folder.Path("scenery.cfg");
    WriteRaw(path, std::string(300000, 'x'));
    EXPECT_TRUE(WriteWholeFile(path, c.bytes)) << c.name;
    EXPECT_EQ(ReadRaw(path), c.bytes) << c.name;
    EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery.cfg"}) << c.name;
  }
}

TEST(WriteWholeFile, CreatesAMissingFileAndCutsToEmpty) {
  ScratchFolder folder;
  Text path = folder.Path("scenery_beforeinstall.cfg");
  ASSERT_TRUE(WriteWholeFile(path, "[General]\r\n"));
  EXPECT_EQ(ReadRaw(path), "[General]\r\n");
  ASSERT_TRUE(WriteWholeFile(path, ""));
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(ReadWholeFile, EmptyFileIsEmptyTextNotAFailure) {
  ScratchFolder folder;
  WriteRaw(folder.Path("empty.cfg"), "");
  for (bool quiet : {false, true}) {
    RecordingTerminal terminal;
    std::optional<Text> read = ReadWholeFile(folder.Path("empty.cfg"), quiet, terminal);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, "");
    EXPECT_TRUE(terminal.prints.empty());
  }
}

TEST(ReadWholeFile, FailuresShowTheMessageUnlessQuiet) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.Path("a folder"));
  struct Case {
    const char* name;
    Text path;
  };
  const Case cases[] = {
      {"missing file", folder.Path("scenery.cfg")},
      {"missing folder", folder.Path("nowhere") + kPathSeparator + "scenery.cfg"},
      {"a folder", folder.Path("a folder")},
  };
  for (const auto& c : cases) {
    RecordingTerminal loud;
    EXPECT_FALSE(ReadWholeFile(c.path, false, loud).has_value()) << c.name;
    std::vector<Text> expected = {"Error opening file: " + c.path + "   Errorcode=2", "\r\n"};
    EXPECT_EQ(loud.prints, expected) << c.name;
    EXPECT_EQ(loud.waits, 1) << c.name;

    RecordingTerminal quiet;
    EXPECT_FALSE(ReadWholeFile(c.path, true, quiet).has_value()) << c.name;
    EXPECT_TRUE(quiet.prints.empty()) << c.name;
    EXPECT_EQ(quiet.waits, 0) << c.name;
  }
}

TEST(FileExists, OnlyReadableFilesExist) {
  ScratchFolder folder;
  WriteRaw(folder.Path("scenery.cfg"), "x");
  WriteRaw(folder.Path("empty.cfg"), "");
  std::filesystem::create_directory(folder.Path("sub"));
  struct Case {
    Text path;
    bool exists;
  };
  const Case cases[] = {
      {folder.Path("scenery.cfg"), true},
      {folder.Path("empty.cfg"), true},
      {folder.Path("sub"), false},
      {folder.Path("sub") + kPathSeparator, false},
      {folder.Path("missing.cfg"), false},
      {folder.Path("missing") + kPathSeparator + "scenery.cfg", false},
  };
  for (const auto& c : cases) EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
}

TEST(WriteWholeFile, MissingFolderIsNotCreated) {
  ScratchFolder folder;
  Text path = folder.Path("missing") + kPathSeparator + "scenery.cfg";
  EXPECT_FALSE(WriteWholeFile(path, "data"));
  EXPECT_TRUE(folder.Names().empty());
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
  EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery.cfg"});

  std::filesystem::create_directory(folder.Path("sub"));
  EXPECT_FALSE(WriteWholeFile(folder.Path("sub"), "new\r\n"));
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path("sub")));
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
  struct Case {
    int n;
    Text expected;
  };
  const Case cases[] = {{-1, ""},         {0, "sceneryreg"}, {1, "C:\\Sim"}, {3, "C:\\My Scenery"},
                        {4, "My Title"}, {5, ""},           {1000, ""}};
  for (const auto& c : cases) EXPECT_EQ(CommandArgument(args, c.n), c.expected) << c.n;
  EXPECT_EQ(CommandArgument({}, 0), "");
}

}  // namespace
