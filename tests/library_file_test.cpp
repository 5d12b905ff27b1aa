#include "library_file.h"

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

TEST(NumberAfter, ReadsAtMostEightCharactersBehindTheDelimiter) {
  // clang-format off
  const struct { Text text; int pos; char delimiter; int32_t number; } cases[] = {
      {"[Area.001]\r\nTitle=x", 1, '.', 1}, {"[Area. 7]", 1, '.', 7},  {"[Area.abc]", 1, '.', 0},
      {"[Area.5.9]", 1, '.', 5},            {"Layer=14\r\n", 1, '=', 14}, {"layer=2.5", 1, '=', 2},
      {"layer=3.5", 1, '=', 4},             {"[Area.-5]", 1, '.', -5},  {"[Area.7", 1, '.', 7},
      {"Layer=", 1, '=', 0},                {"[Area.000000042]", 1, '.', 4},
      {"x\r\n[area.44]\r\n", 4, '.', 44},   {"x\r\nSomelayer=9\r\n", 8, '=', 9},
      {"layer=-2.5", 1, '=', -2},           {"[Area.&H1F]", 1, '.', 31}, {"[Area.&O7]", 1, '.', 7},
      // Numbers out of the 32-bit range read as 0; the largest that fits in 8 characters.
      {"[Area.1e99]", 1, '.', 0}, {"[Area.-3e9]", 1, '.', 0}, {"[Area.9e999999]", 1, '.', 0},
      {"[Area.214748e4]", 1, '.', 2147480000}, {"[Area.-2147e6]", 1, '.', -2147000000},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(NumberAfter(c.text, c.pos, c.delimiter), c.number) << c.text;
}

// Title and folder entries match whole, a to z folded; a folder may end in one separator. 3000
// "Title=" then "X": each "=" almost opens the entry sought, which one by one would be quadratic.
TEST(ScanLibrary, MatchesWholeEntriesOnly) {
  Text titles, locals;
  for (int i = 0; i < 3000; ++i) titles += "Title=", locals += "Local=";
  const Text title_miss = titles.substr(0, 19 * 6) + "X", harbour = "D:\\Addons\\Harbour";
  const Text folder_miss = locals.substr(0, 19 * 6) + "X";
  // clang-format off
  const struct { Text library, title, folder; int position; } cases[] = {
      {"Title=Alps\r\n", "Alps", "", 1}, {"x\r\nTITLE=ALPS", "alps", "", 4},  // at the very end
      {"Title=Alps \t\r\n", "Alps", "", 1}, {"Title=Alps\n", "Alps", "", 1},
      {"Title=Alps North\r\ntitle=alps\r\n", "Alps", "", 19},
      {"Title=Alps\\\r\n", "Alps", "", 0},  // only folders may end in a separator
      {"Title=Alpsx Title=Alps", "Alps", "", 13}, {"Title=Alpsx", "Alps", "", 0},
      {"Title=Caf\xc3\x89\r\n", "Caf\xc3\xa9", "", 0},  // bytes above a to z are not folded
      {"title=caf\xc3\xa9\r\n", "Caf\xc3\xa9", "", 1}, {"Title=\r\n", "Alps", "", 0},
      {titles + "X\r\n", title_miss, "", (3000 - 20) * 6 + 1},
      {titles + "X y\r\n", title_miss, "", 0}, {"LOCAL=d:\\addons\\harbour", "", harbour, 1},
      {"local=D:\\Addons\\Harbour\\\r\n", "", harbour, 1},
      {"local=D:\\Addons\\Harbour/ \r\n", "", harbour, 1},
      {"local=D:\\Addons\\Harbour\\\\\r\n", "", harbour, 0},
      {"local=D:\\Addons\\Harbour\\Sub\r\n", "", harbour, 0},
      {"local=D:\\Addons\\Harbour2\r\nlocal=D:\\Addons\\Harbour\r\n", "", harbour, 27},
      {"Title=D:\\Addons\\Harbour\r\n", "", harbour, 0},
      {"Title=x\r\nlocal=D:\\ADDONS\\HARBOUR\r\n" + Text(100, '\n'), "", harbour, 10},
      {locals + "x\r\n", "", folder_miss, (3000 - 20) * 6 + 1},
      {locals + "X y\r\n", "", folder_miss, 0},
  };
  // clang-format on
  // Folders also as a REMOVE looks for them, past every stop but the folder's.
  for (const auto& c : cases) {
    const LibraryScan scan = ScanLibrary(c.library, c.title, c.folder);
    EXPECT_EQ(c.folder.empty() ? scan.title_pos : scan.folder_pos, c.position) << c.library;
    if (!c.folder.empty()) {
      EXPECT_EQ(ScanLibrary(c.library, "", c.folder, true).folder_pos, c.position) << c.library;
    }
  }
}

// A REMOVE reads a mapped library in copies of 256 KiB stretches: a long folder entry is found
// wherever it stands against their bounds.
TEST(ScanLibrary, FindsAFolderAcrossTheStretchesOfAMappedLibrary) {
#ifdef _WIN32
  GTEST_SKIP() << "the library is read, not mapped";
#endif
  ScratchFolder scratch;
  const Text path = scratch.Path("scenery.cfg");
  const Text folder = "D:\\Addons\\" + Text(100, 'f') + "\\Scenery";
  // Areas whose folder differs from it in the last byte only.
  const Text filler =
      "[Area.1]\r\nlocal=" + folder.substr(0, folder.size() - 1) + "z\r\nLayer=1\r\n";
  for (size_t at = (256 << 10) - 100; at < (256 << 10) + 200; ++at) {
    Text text;
    while (text.size() < at) text += filler;
    text.resize(at, '\n');
    text += "local=" + folder + "\r\n" + Text(70000, 'x');
    WriteRaw(path, text);
    FileContent content;
    std::string err;
    ASSERT_EQ(ReadWholeFile(path, 1 << 20, &content, &err), kReadDone);
    const MappingCopies copies;
    ASSERT_EQ(ScanLibrary(content.bytes, "", folder, true, &copies).folder_pos,
              static_cast<int>(at) + 1);
  }
}

}  // namespace
