#include "library_list.h"

#include <gtest/gtest.h>

namespace {

// The rows of library, listed whole.
Text Rows(const Text& library) {
  Text rows;
  EXPECT_EQ(AppendListRows(library, true, &rows), library.size());
  return rows;
}

TEST(AppendListRows, FieldsAreTheFirstEntriesFoundAsTheEditFindsThem) {
  struct Case {
    Text library, rows;
  };
  const Case cases[] = {
      // A missing key leaves its field empty; the first of two entries counts; a key that
      // ends in Layer counts as the edit counts it.
      {"[area.12]\nXitle=No\nTitle=One, with a title longer than two vectors\nTitle=Two\n"
       "MaxLayer=9\nLayer=4\n",
       "12\t9\t\tOne, with a title longer than two vectors\t\r\n"},
      // A header's number runs to "]" or the line end; a header inside a line opens a section,
      // and a value ends at the section's end.
      {"[Area.5.9] x\rLayer=1\r[Area.6\rTitle=a [AREA.7]\rActive=FALSE",
       "5.9\t1\t\t\t\r\n6\t\t\ta \t\r\n7\t\tFALSE\t\t\r\n"},
      // Blanks stay; a tab, another control byte and "%" are escaped, "\" is not.
      {"[Area.1]\r\nTitle= A\tB%\r\nLocal=\\\\srv\\x\x7f\r\n",
       "1\t\t\t A%09B%25\t\\\\srv\\x%7F\r\n"},
      {Text("[Area.2]\nTitle=\x01\0z\n", 19), "2\t\t\t%01%00z\t\r\n"},
      // ... in the number too, and past a value's first 16 bytes.
      {"[Area.%1]\nLayer=2\n", "%251\t2\t\t\t\r\n"},
      {"[Area.3]\nTitle=0123456789abcdef\x01\n", "3\t\t\t0123456789abcdef%01\t\r\n"},
      {"no sections\r\nTitle=x\r\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Rows(c.library), c.rows) << c.library;
}

// An entry is found, and its value ends, wherever the 64-byte steps of the walk fall.
TEST(AppendListRows, EntriesAnywhereAgainstTheStepsOfTheWalk) {
  for (size_t pad = 0; pad < 130; ++pad)
    EXPECT_EQ(Rows("[Area.1]\r\nNote=" + Text(pad, 'x') + "\r\nTitle=ab\r\nLayer=7"),
              "1\t7\t\tab\t\r\n")
        << pad;
}

// The bytes not used, handed in again with more: any cut into pieces gives the rows of the whole.
TEST(AppendListRows, PiecesOfAnySizeGiveTheRowsOfTheWhole) {
  const Text library =
      "[General]\r\nTitle=x\r\n[Area.001]\r\nTitle=First\r\nLocal=D:\\a\r\n"
      "Layer=1\r\n\r\n[aReA.002]\r\nTitle=Second [Area.003]\r\nLayer=2\r\n"
      "Active=TRUE\r\nlocal=D:\\b\r\n";
  const Text whole = Rows(library);
  for (size_t size = 1; size <= library.size(); ++size) {
    Text rows, kept;
    for (size_t at = 0; at <= library.size(); at += size) {
      kept += library.substr(at, size);
      const bool at_end = at + size >= library.size();
      kept.erase(0, AppendListRows(kept, at_end, &rows));
      if (at_end) break;
    }
    EXPECT_EQ(rows, whole) << "pieces of " << size;
  }
}

}  // namespace
