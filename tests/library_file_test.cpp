#include "library_file.h"

#include <gtest/gtest.h>

#include "files.h"

namespace {

struct NumberCase { Text text, delimiter; int32_t number; };

TEST(NumberAfter, ReadsTheNumberBehindAHeaderOrEntryAtPositionOne) {
  const NumberCase cases[] = {
      {"[Area.001]\r\nTitle=x", ".", 1}, {"[AREA.12]", ".", 12},    {"[Area. 7]", ".", 7},
      {"[Area.abc]", ".", 0},              {"[Area.5.9]", ".", 5},    {"Layer=14\r\n", "=", 14},
      {"layer=2.5", "=", 2},               {"layer=3.5", "=", 4},     {"[area.5]", ".", 5},
      {"[Area.000000042]", ".", 4},        {"[AREA.005]", ".", 5},    {"[Area.-5]", ".", -5},
      {"[Area.7", ".", 7},    // cut off by the end of the text
      {"Layer=", "=", 0},     // nothing after the entry
      // Numbers that are out of range read as 0 instead of overflowing.
      {"[Area.1e99]", ".", 0}, {"Layer=1e99\r\n", "=", 0}, {"[Area.9e9]", ".", 0},
      {"[Area.-3e9]", ".", 0},
      {"[Area.214748e4]", ".", 2147480000},  // the largest an 8-character field can hold
      {"Layer 12=5", "=", 5},  // the field after the first delimiter, wherever it stands
  };
  for (const NumberCase& c : cases)
    EXPECT_EQ(NumberAfter(c.text, 1, c.delimiter), c.number) << c.text;
}

TEST(NumberAfter, ReadsFromTheGivenPositionInTheOriginalText) {
  const Text library = "x\r\n[area.44]\r\nSomelayer=9\r\n";
  EXPECT_EQ(NumberAfter(library, 4, "."), 44);
  EXPECT_EQ(NumberAfter(library, 18, "="), 9);
}

TEST(FormatAreaNumber, PadsWithZerosToThreeDigits) {
  const std::pair<int32_t, Text> cases[] = {
      {0, "000"}, {7, "007"}, {9, "009"}, {10, "010"}, {45, "045"}, {99, "099"}, {100, "100"},
      {999, "999"}, {1000, "1000"}, {2147480001, "2147480001"},
  };
  for (const auto& [n, written] : cases)
    EXPECT_EQ(FormatAreaNumber(n), written) << n;
}

TEST(LibraryFiles, PathsAlwaysInsertTheSeparator) {
  const Text sep = kPathSeparator;
  EXPECT_EQ(LibraryPath("C:\\Sim"), "C:\\Sim" + sep + "scenery.cfg");
  EXPECT_EQ(LibraryPath("C:\\Sim\\"), "C:\\Sim\\" + sep + "scenery.cfg");
  EXPECT_EQ(BackupPath("D:\\Addons\\Alps"), "D:\\Addons\\Alps" + sep + "scenery_beforeinstall.cfg");
}

struct EntryCase { Text library, value; int position; };

TEST(ScanEntries, MatchesWholeTitlesOnly) {
  // "Title=" 3000 times, then "X": every "=" almost opens the entry of 20 more and an "X",
  // which checking them one by one would make quadratic.
  Text everywhere;
  for (int i = 0; i < 3000; ++i)
    everywhere += "Title=";
  const Text near_miss = everywhere.substr(0, 19 * 6) + "X";
  const EntryCase cases[] = {
      {"Title=Alps\r\n", "Alps", 1},
      {"x\r\nTITLE=ALPS", "alps", 4},  // at the end of the text
      {"Title=Alps \t\r\n", "Alps", 1},
      {"Title=Alps\n", "Alps", 1},
      {"Title=Alps North\r\n", "Alps", 0},
      {"Title=Alps North\r\ntitle=alps\r\n", "Alps", 19},
      {"Title=Alps\\\r\n", "Alps", 0},  // only folders may end in a separator
      {"Title=Alpsx Title=Alps", "Alps", 13}, {"Title=Alpsx", "Alps", 0},
      {"Title=Caf\xc3\x89\r\n", "Caf\xc3\xa9", 0},  // bytes above a to z are not folded
      {"title=caf\xc3\xa9\r\n", "Caf\xc3\xa9", 1},
      {"Title=\r\n", "Alps", 0},
      {everywhere + "X\r\n", near_miss, (3000 - 20) * 6 + 1},
      {everywhere + "X y\r\n", near_miss, 0},
  };
  for (const EntryCase& c : cases)
    EXPECT_EQ(ScanEntries(c.library, c.value, "").title_pos, c.position) << c.library;
}

TEST(ScanEntries, MatchesWholeFoldersWithOneOptionalSeparator) {
  const Text harbour = "D:\\Addons\\Harbour";
  const EntryCase cases[] = {
      {"local=D:\\Addons\\Harbour\r\n", harbour, 1},
      {"LOCAL=d:\\addons\\harbour", harbour, 1},
      {"local=D:\\Addons\\Harbour\\\r\n", harbour, 1},
      {"local=D:\\Addons\\Harbour/ \r\n", harbour, 1},
      {"local=D:\\Addons\\Harbour2\r\n", harbour, 0},
      {"local=D:\\Addons\\Harbour\\\\\r\n", harbour, 0},
      {"local=D:\\Addons\\Harbour\\Sub\r\n", harbour, 0},
      {"local=D:\\Addons\\Harbour2\r\nlocal=D:\\Addons\\Harbour\r\n", harbour, 27},
      {"Title=D:\\Addons\\Harbour\r\n", harbour, 0},
  };
  for (const EntryCase& c : cases)
    EXPECT_EQ(ScanEntries(c.library, "", c.value).folder_pos, c.position) << c.library;
}

}  // namespace
