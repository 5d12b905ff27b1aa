#include "library_diff.h"

#include <gtest/gtest.h>

namespace {

TEST(UnifiedDiff, PrintsWhatDiffPrints) {
  struct Case {
    Text before;
    size_t from, to;
    Text inserted, diff;  // diff less its two name lines
  };
  const Text nine = "1\n2\n3\n4\n5\n6\n7\n8\n9\n";
  const Case cases[] = {
      // Three lines of context on each side, fewer at the ends.
      {nine, 8, 10, "", "@@ -2,7 +2,6 @@\n 2\n 3\n 4\n-5\n 6\n 7\n 8\n"},
      {nine, 0, 2, "x\r\n", "@@ -1,4 +1,4 @@\n-1\n+x\r\n 2\n 3\n 4\n"},
      {nine, 18, 18, "\r\n[A]\r\n", "@@ -7,3 +7,5 @@\n 7\n 8\n 9\n+\r\n+[A]\r\n"},
      // A change inside a line takes the whole line; lines the change leaves alike at its ends
      // are context.
      {"ab\ncd\n", 1, 1, "x\ny", "@@ -1,2 +1,3 @@\n-ab\n+ax\n+yb\n cd\n"},
      {"a\nb\na\nb\n", 0, 4, "", "@@ -1,4 +1,2 @@\n a\n b\n-a\n-b\n"},
      // A last line without LF is a line of its own kind.
      {"a\nb", 3, 3, "\r\nc\r\n",
       "@@ -1,2 +1,3 @@\n a\n-b\n\\ No newline at end of file\n+b\r\n+c\r\n"},
      {"a\nb\nc", 0, 2, "", "@@ -1,3 +1,2 @@\n-a\n b\n c\n\\ No newline at end of file\n"},
      // One side with no line names the line before the place.
      {"", 0, 0, "x\n", "@@ -0,0 +1 @@\n+x\n"},
      {"x\n", 0, 2, "", "@@ -1 +0,0 @@\n-x\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UnifiedDiff(c.before, c.from, c.to, c.inserted, "old", "new"),
              "--- old\n+++ new\n" + c.diff)
        << c.before << " " << c.from;
  }
  EXPECT_EQ(UnifiedDiff(nine, 2, 4, "2\n", "old", "new"), "");
}

}  // namespace
