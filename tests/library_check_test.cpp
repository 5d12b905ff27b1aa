#include "library_check.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// Header lines 4, 9 and 14; every folder exists.
const Text kClean =
    "[General]\r\nTitle=Lib\r\n\r\n"
    "[Area.001]\r\nTitle=A\r\nLocal=D:\\Zoo\r\nLayer=1\r\n\r\n"
    "[Area.002]\r\nTitle=B\r\nLocal=D:\\B\r\nLayer=2\r\n\r\n"
    "[Area.003]\r\nTitle=C\r\nLocal=D:\\C\r\nLayer=3\r\n";

// kClean with each of the (from, to) replacements made.
Text Planted(const std::vector<std::pair<Text, Text>>& plants) {
  Text library = kClean;
  for (const auto& [from, to] : plants) library.replace(library.find(from), from.size(), to);
  return library;
}

// The finding lines of library, then its summary.
Text Checked(const Text& library) {
  const std::set<std::string_view> folders = {"D:\\Zoo", "D:\\B", "D:\\C"};
  Text lines;
  const CheckCount count = CheckLibraryText(
      library, [&](std::string_view folder) { return folders.count(folder) > 0; },
      [&](const Finding& finding) { lines += FindingLine(finding); });
  return lines + CheckSummaryLine(count);
}

TEST(CheckLibraryText, EachFindingAloneAndTogether) {
  const std::pair<Text, Text> same_area = {"[Area.002]", "[area.1]"},
                              same_layer = {"Layer=3", "layer=01"},
                              no_folder = {"Local=D:\\B\r\n", ""}, no_layer = {"Layer=2\r\n", ""},
                              same_folder = {"Local=D:\\C", "LOCAL=d:\\zoo\\ "},
                              gone = {"D:\\B", "D:\\Gone\t"},
                              nul = {"Title=B", Text("Title=\0B", 8)};
  const Text lib = "line 1: the library holds NUL bytes, the first on line 10: it is no plain text";
  struct Case {
    Text library, lines;
  };
  const Case cases[] = {
      {kClean, "No findings in 3 area sections\r\n"},
      {Planted({no_folder}),
       "line 9: the section has no folder entry (local=)\r\n1 finding in 3 area sections\r\n"},
      {Planted({gone}),
       "line 9: folder 'D:\\Gone%09' does not exist\r\n1 finding in 3 area sections\r\n"},
      {Planted({same_area, same_layer, no_layer, same_folder, nul}),
       lib + "\r\n"
             "line 9: area 1 has the number of the area on line 4\r\n"
             "line 9: the section has no layer entry (Layer=)\r\n"
             "line 13: layer 1 is also the layer of the section on line 4\r\n"
             "line 13: folder 'd:\\zoo\\ ' is also registered on line 4\r\n"
             "line 13: folder 'd:\\zoo\\ ' does not exist\r\n"
             "6 findings in 3 area sections\r\n"},
      // A line ends with LF, CR LF or a lone CR, also where a section begins right after it.
      {"x\n\r[Area.1]\r\nLayer=1\rLocal=D:\\B\r[area.1]\r",
       "line 6: area 1 has the number of the area on line 3\r\nline 6: the section has no folder "
       "entry (local=)\r\nline 6: the section has no layer entry (Layer=)\r\n"
       "3 findings in 2 area sections\r\n"},
      // Libraries ADD and REMOVE cannot edit.
      {Planted({{"[Area.001]", "[Area.x]"}, {"[Area.002]", "[Area.0]"}, {"[Area.003]", "[Area.]"}}),
       "line 1: no area header has a number above 0: ADD and REMOVE cannot edit the library\r\n"
       "1 finding in 3 area sections\r\n"},
      {Planted({{"Layer=1", "Layer=0"}, {"Layer=2", "Layer="}, {"Layer=3", "Layer=x"}}),
       "line 1: no layer entry has a number above 0: ADD and REMOVE cannot edit the library\r\n"
       "1 finding in 3 area sections\r\n"},
      {"\xFF\xFE" + Planted({same_area}),
       "line 1: the library is UTF-16 text (it begins with a byte-order mark): ADD and REMOVE "
       "never edit it, since they work on its bytes\r\n1 finding in 0 area sections\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Checked(c.library), c.lines) << c.library;
}

}  // namespace
