#include "text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace std::string_literals;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

int NaiveFind(int start, const Text& t, const Text& pattern) {
  if (pattern.empty() || start < 1)
    return 0;
  for (size_t i = start - 1; i + pattern.size() <= t.size(); ++i)
    if (t.compare(i, pattern.size(), pattern) == 0)
      return static_cast<int>(i) + 1;
  return 0;
}

// Small alphabets make partial matches and overlaps frequent, which is where a border table
// goes wrong; "=" and the bytes 0 and 255 move the byte that candidates are looked up by.
TEST(FindText, AgreesWithPlainScan) {
  std::mt19937 rng(12345);
  const Text alphabets[] = {"ab", "a=b", "a\0\xff"s};
  for (int round = 0; round < 20000; ++round) {
    const Text& alphabet = alphabets[round % 3];
    auto random_text = [&](int max_length) {
      Text s(rng() % (max_length + 1), ' ');
      for (char& c : s)
        c = alphabet[rng() % alphabet.size()];
      return s;
    };
    Text t = random_text(24);
    Text pattern = random_text(round % 2 ? 3 : 7);
    for (int start = -1; start <= TextLength(t) + 2; ++start)
      ASSERT_EQ(FindText(start, t, pattern), NaiveFind(start, t, pattern))
          << "start " << start << " t " << t << " pattern " << pattern;
  }
}

// Patterns too long for the table kept on the stack, and the inputs that make a naive
// search quadratic.
TEST(FindText, LongPatterns) {
  const Text as(100000, 'a');
  const Text almost = Text(9999, 'a') + "b";
  EXPECT_EQ(FindText(1, as, almost), 0);
  EXPECT_EQ(FindText(1, as + "b", almost), 100000 - 9999 + 1);
  EXPECT_EQ(FindText(2, as, as), 0);
  Text periodic;
  for (int i = 0; i < 5000; ++i)
    periodic += "ab";
  EXPECT_EQ(FindText(1, periodic + "ac" + periodic + "abc", periodic + "abc"), 10003);
}

TEST(FindTextWhere, OffersEveryOccurrenceOnceInOrder) {
  const auto only = [](int wanted) { return [wanted](int pos) { return pos == wanted; }; };
  EXPECT_EQ(FindTextWhere(1, "aaaaa", "aa", only(3)), 3);  // overlapping occurrences
  EXPECT_EQ(FindTextWhere(5, "abcabcabc", "abc", only(7)), 7);
  EXPECT_EQ(FindTextWhere(1, "abcabc", "abc", only(0)), 0);
  const Text everywhere(200000, 'a');
  int asked = 0;
  EXPECT_EQ(FindTextWhere(1, everywhere, Text(20000, 'a'), [&](int) { return ++asked < 0; }), 0);
  EXPECT_EQ(asked, 200000 - 20000 + 1);
}

TEST(TextToNumber, Table) {
  struct Case { Text t; double want; };
  const Case cases[] = {
      {"001]", 1}, {"  7", 7}, {"12abc", 12}, {"-3.5", -3.5}, {"1e2]", 100}, {"1e]", 1},
      {".5", 0.5}, {"5.", 5}, {"abc", 0}, {"", 0}, {"+7", 7}, {"-.5", -0.5}, {"- 5", 0},
      {"+-1", 0}, {".", 0}, {"1..5", 1}, {"\t\r 8", 8}, {"1E2", 100}, {"1e+2", 100},
      {"25e-2", 0.25}, {"1e+", 1}, {"2e-x", 2}, {".e1", 0}, {"3e1.5", 30}, {"7\0" "9"s, 7},
      {"0.1", 0.1},
      // Beyond the range of a double: the order of magnitude decides.
      {"1e999", kInf}, {"-1e999", -kInf}, {"1e-999", 0}, {"0.01e999", kInf}, {"10e-999", 0},
      {"0e999999", 0}, {"1" + Text(400, '0'), kInf},
      // The radix forms: a 32-bit accumulator that wraps and is signed at the end.
      {"  &H1F", 31}, {"&hfa", 250}, {"&H90", 144}, {"&HFFFFFFFF", -1}, {"&H1FFFFFFFF", -1},
      {"&O17", 15}, {"&O78", 7}, {"&B101", 5}, {"&B102", 2}, {"&H", 0}, {"&X12", 0}, {"&", 0},
      {"\t&H1F", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextToNumber(c.t), c.want) << c.t;
}

TEST(RoundToWhole, HalfToEvenAndZeroOutOfRange) {
  struct Case { double x; int32_t want; };
  const Case cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-3.5, -4}, {0.49999999999999994, 0},
      {-12.7, -13}, {2147483647.4, 2147483647}, {2147483647.5, 0}, {-2147483648.5, INT32_MIN},
      {-2147483649.5, 0}, {kInf, 0}, {std::nan(""), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RoundToWhole(c.x), c.want) << c.x;
}

TEST(GetField, Table) {
  struct Case { Text t, delimiter; int n; Text want; };
  const Case cases[] = {
      {"a,b,c", ",", 1, "a"}, {"a,b,c", ",", 2, "b"}, {"a,,b", ",", 2, ""}, {"a", ",", 2, "a"},
      {"a,", ",", 2, "a"}, {",a", ",", 1, ",a"}, {",a", ",", 2, "a"}, {"x=5\r\n", "=", 2, "5"},
      {"x=5\n\r\n", "=", 2, "5\n"}, {"a\r\n,b", ",", 1, "a"}, {"\r\r\r", ",", 1, "\r"},
      {"[Area.012]", ".", 2, "012]"}, {"a\0,\xff"s, ",", 2, "\xff"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetField(c.t, c.delimiter, c.n), c.want) << c.t << " " << c.delimiter << " " << c.n;
}

TEST(ParentPath, CutsTheLastComponent) {
  struct Case { Text path, want; };
  const Case cases[] = {{"C:\\Games\\Tool\\setup.exe", "C:\\Games\\Tool"}, {"setup.exe", "setup.exe"},
                        {"C:\\dir\\", "C:\\dir\\"}, {"\\x", ""}, {"", ""}, {"a\\\\b", "a\\"}};
  for (const Case& c : cases)
    EXPECT_EQ(ParentPath(c.path, "\\", 1), c.want) << c.path;
}

TEST(NoCase, Table) {
  struct Case { int start; Text t, pattern; int found, matched_at_start; };
  const Case cases[] = {
      {1, "x[area.5]", "[AREA.", 2, 0},   {2, "x[area.5]", "[Area.", 2, 6},
      {1, "Title=Alps North", "title=alps", 1, 10}, {1, "caf\xe9", "CAF\xc9", 0, 3},
      {1, "@[`{", "`{@[", 0, 0},          {2, "zZz", "z", 2, 1},
      {3, "ab", "b", 0, 0},               {1, "ab", "abc", 0, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindTextNoCase(c.start, c.t, c.pattern), c.found) << c.t << " " << c.pattern;
    EXPECT_EQ(MatchLengthNoCase(c.t, c.start, c.pattern), c.matched_at_start) << c.t;
  }
}

// The searches without case against FindText over both sides upper-cased. The bytes beside
// the letters in the byte table (@ [ ` {) and letters with the high bit set must not fold;
// texts are long enough for the eight-byte steps, and patterns are mostly cut from the text
// with their case flipped, so that long matches are common.
TEST(NoCase, AgreesWithSearchesOverUpperCasedTexts) {
  std::mt19937 rng(2024);
  const Text alphabet = "aAzZbB@[`{=\xe1\xc1\xfa";
  for (int round = 0; round < 4000; ++round) {
    Text t(rng() % 41, ' ');
    for (char& c : t)
      c = alphabet[rng() % alphabet.size()];
    Text pattern = SubText(t, 1 + rng() % (t.size() + 1), 1 + rng() % 20);
    for (char& c : pattern)
      c = rng() % 2 && (c | 0x20) >= 'a' && (c | 0x20) <= 'z' ? c ^ 0x20 : c;
    if (round % 3 == 0 && !pattern.empty())
      pattern[rng() % pattern.size()] = alphabet[rng() % alphabet.size()];
    const Text upper = UpperText(t), upper_pattern = UpperText(pattern);
    for (int start = -1; start <= TextLength(t) + 1; ++start) {
      ASSERT_EQ(FindTextNoCase(start, t, pattern), FindText(start, upper, upper_pattern))
          << start << " " << t << " " << pattern;
      int matched = 0;
      while (start >= 1 && start + matched <= TextLength(t) && matched < TextLength(pattern) &&
             ByteAt(upper, start + matched) == ByteAt(upper_pattern, matched + 1))
        ++matched;
      ASSERT_EQ(MatchLengthNoCase(t, start, pattern), matched) << start << " " << t;
      const char byte = alphabet[(round + start + 1) % alphabet.size()];
      ASSERT_EQ(FindByte(start, t, byte), FindText(start, t, Text(1, byte)));
    }
  }
}

}  // namespace
