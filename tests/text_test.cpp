#include "text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace std::string_literals;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

TEST(SubText, ClipsToTheText) {
  struct Case { Text t; int start, count; Text want; };
  const Case cases[] = {
      {"abc", 2, 100, "bc"},   {"abc", 2, -1, "bc"},       {"abc", 0, 2, ""},
      {"abc", 4, 1, ""},       {"abc", 1, 0, ""},          {"abc", -5, 3, ""},
      {"abc", 1, 2, "ab"},     {"abc", 3, 1, "c"},         {"", 1, 1, ""},
      {"abc", 2, INT32_MAX, "bc"}, {"a\0\xff"s, 2, 2, "\0\xff"s}, {"abc", INT32_MAX, INT32_MAX, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SubText(c.t, c.start, c.count), c.want) << c.t << " " << c.start << " " << c.count;
}

TEST(FindText, Table) {
  struct Case { int start; Text t, pattern; int want; };
  const Case cases[] = {
      {1, "abc", "", 0},          {4, "abc", "c", 0},          {0, "abc", "a", 0},
      {3, "abcabc", "abc", 4},    {2, "abc", "abcd", 0},       {1, "", "a", 0},
      {-1, "abc", "a", 0},        {1, "abc", "abc", 1},        {2, "abc", "abc", 0},
      {3, "abc", "c", 3},         {1, "abc", "C", 0},          {1, "aaab", "aab", 2},
      {1, "abababc", "ababc", 3}, {2, "aaaa", "aa", 2},        {1, "ab\0cd"s, "\0c"s, 3},
      {1, "x\xe9y\xe9", "\xe9", 2}, {3, "x\xe9y\xe9", "\xe9", 4}, {1, "\xff\xfe", "\xfe\xff", 0},
      {1, "[AREA.001]\r\n[AREA.002]", "[AREA.002]", 13},
      // Needs the border of a border: a table built with a single fallback misses it.
      {1, "aabaaabaaaa", "aabaaaa", 5},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindText(c.start, c.t, c.pattern), c.want) << c.start << " " << c.t << " " << c.pattern;
}

int NaiveFind(int start, const Text& t, const Text& pattern) {
  if (pattern.empty() || start < 1)
    return 0;
  for (size_t i = start - 1; i + pattern.size() <= t.size(); ++i)
    if (t.compare(i, pattern.size(), pattern) == 0)
      return static_cast<int>(i) + 1;
  return 0;
}

// Small alphabets make partial matches and overlaps frequent, which is where a border
// table goes wrong.
TEST(FindText, AgreesWithPlainScan) {
  std::mt19937 rng(12345);
  const Text alphabets[] = {"ab", "abc", "a\0\xff"s};
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

TEST(FindText, AdversarialPatterns) {
  const Text as(100000, 'a');
  const Text almost = Text(9999, 'a') + "b";
  EXPECT_EQ(FindText(1, as, almost), 0);
  EXPECT_EQ(FindText(1, as + "b", almost), 100000 - 9999 + 1);
  EXPECT_EQ(FindText(1, as, Text(100000, 'a')), 1);
  EXPECT_EQ(FindText(2, as, Text(100000, 'a')), 0);
  Text periodic;
  for (int i = 0; i < 5000; ++i)
    periodic += "ab";
  EXPECT_EQ(FindText(1, periodic + "ac" + periodic + "abc", periodic + "abc"), 10003);
}

TEST(FindTextWhere, FirstAcceptedOccurrenceOverlapsIncluded) {
  const auto at = [](std::vector<int> wanted) {
    return [wanted](int pos) { return std::find(wanted.begin(), wanted.end(), pos) != wanted.end(); };
  };
  EXPECT_EQ(FindTextWhere(1, "aaaaa", "aa", at({3})), 3);      // overlapping occurrences
  EXPECT_EQ(FindTextWhere(1, "abcabcabc", "abc", at({7})), 7);
  EXPECT_EQ(FindTextWhere(5, "abcabcabc", "abc", at({4, 7})), 7);
  EXPECT_EQ(FindTextWhere(1, "abcabc", "abc", at({})), 0);
  // Every one of the overlapping occurrences is offered once, in order.
  const Text everywhere(200000, 'a');
  int asked = 0;
  EXPECT_EQ(FindTextWhere(1, everywhere, Text(20000, 'a'), [&](int) { return ++asked < 0; }), 0);
  EXPECT_EQ(asked, 200000 - 20000 + 1);
}

TEST(UpperText, OnlyAsciiLettersChange) {
  EXPECT_EQ(UpperText("[area.5]"), "[AREA.5]");
  Text all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  Text want = all;
  want.replace(97, 26, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(UpperText(all), want);
  EXPECT_EQ(UpperText(""), "");
}

TEST(ByteAt, UnsignedAndZeroOutside) {
  struct Case { Text t; int pos, want; };
  const Case cases[] = {{"abc", 0, 0}, {"abc", 4, 0}, {"abc", 1, 97}, {"abc", 3, 99},
                        {"\xc8", 1, 200}, {"\xff", 1, 255}, {"a\0b"s, 2, 0}, {"", 1, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(ByteAt(c.t, c.pos), c.want) << c.t << " " << c.pos;
}

TEST(SameAndJoin, KeepEveryByte) {
  EXPECT_TRUE(SameText("", ""));
  EXPECT_TRUE(SameText("a\0b"s, "a\0b"s));
  EXPECT_FALSE(SameText("a\0b"s, "a\0c"s));
  EXPECT_FALSE(SameText("a", "a\0"s));
  EXPECT_FALSE(SameText("abc", "ABC"));
  EXPECT_EQ(JoinText("a\0"s, "\0b"s), "a\0\0b"s);
  EXPECT_EQ(JoinText("", "x"), "x");
  EXPECT_EQ(ReverseText("ab\0\xff"s), "\xff\0ba"s);
  EXPECT_EQ(ReverseText(""), "");
}

TEST(NumberToText, PlainDecimal) {
  struct Case { int32_t n; Text want; };
  const Case cases[] = {{0, "0"}, {-1, "-1"}, {7, "7"}, {-12, "-12"}, {1000, "1000"},
                        {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"}};
  for (const Case& c : cases)
    EXPECT_EQ(NumberToText(c.n), c.want);
}

TEST(TextToNumber, Table) {
  struct Case { Text t; double want; };
  const Case cases[] = {
      // Forms the library holds.
      {"001]", 1}, {"  7", 7}, {"12abc", 12}, {"-3.5", -3.5}, {"1e2]", 100}, {"1e]", 1},
      {".5", 0.5}, {"5.", 5}, {"abc", 0}, {"", 0}, {"  &H1F", 31}, {"&", 0},
      // Signs, points, white space and exponents.
      {"+7", 7}, {"-.5", -0.5}, {"- 5", 0}, {"+-1", 0}, {".", 0}, {"-", 0}, {"1..5", 1},
      {"1.2.3", 1.2}, {"\t\r\n\v\f 8", 8}, {" \t-2", -2}, {"1E2", 100}, {"1e+2", 100},
      {"25e-2", 0.25}, {"1e+", 1}, {"2e-x", 2}, {".e1", 0}, {"1.5e1x", 15}, {"3e1.5", 30},
      {"7\0" "9"s, 7}, {"\xb5" "1", 0},
      // Correct rounding and the ends of the double range.
      {"0.1", 0.1}, {"9007199254740993", 9007199254740992.0},
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
      {"1.7976931348623157e308", 1.7976931348623157e308}, {"4.9406564584124654e-324", 4.9406564584124654e-324},
      {"1e999", kInf}, {"-1e999", -kInf}, {"1e-999", 0}, {"-1e-999", 0}, {"0e999999", 0},
      {"1e99999999999999999999", kInf}, {"1" + Text(400, '0'), kInf},
      {"0." + Text(400, '0') + "1", 0}, {"0." + Text(400, '0') + "1e500", 1e99},
      // The radix forms: a 32-bit accumulator that wraps and is signed at the end.
      {"&h1f", 31}, {"&HFFFFFFFF", -1}, {"&H7FFFFFFF", 2147483647}, {"&H80000000", -2147483648.0},
      {"&H100000000", 0}, {"&H1FFFFFFFF", -1}, {"&O17", 15}, {"&o37777777777", -1},
      {"&B101", 5}, {"&b11111111111111111111111111111111", -1}, {"&H", 0}, {"&HG", 0},
      {"&H1G2", 1}, {"&B102", 2}, {"&O78", 7}, {"&X12", 0}, {"&H 1", 0}, {"\t&H1F", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextToNumber(c.t), c.want) << c.t;
}

TEST(RoundToWhole, HalfToEvenAndZeroOutOfRange) {
  struct Case { double x; int32_t want; };
  const Case cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {-0.5, 0}, {3.5, 4}, {-3.5, -4},
      {0.49999999999999994, 0}, {2.4999999999999996, 2}, {-1e-300, 0}, {7, 7}, {-12.7, -13},
      {2147483647.4, 2147483647}, {2147483647.5, 0}, {-2147483648.5, INT32_MIN},
      {-2147483649.5, 0}, {4503599627370497.0, 0}, {1e99, 0}, {-1e99, 0},
      {kInf, 0}, {-kInf, 0}, {std::nan(""), 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RoundToWhole(c.x), c.want) << c.x;
}

TEST(GetField, Table) {
  struct Case { Text t, delimiter; int n; Text want; };
  const Case cases[] = {
      {"a,b,c", ",", 1, "a"}, {"a,b,c", ",", 3, "c"}, {"a,b,c", ",", 4, "c"},
      {"a,b,c", ",", 5, ""}, {"a,,b", ",", 2, ""}, {"a,b,", ",", 3, "b"}, {"a", ",", 2, "a"},
      {",a", ",", 1, ",a"}, {",a", ",", 2, "a"}, {"x=5\r\n", "=", 2, "5"},
      {"x=5\n\r\n", "=", 2, "5\n"}, {"001]", ".", 2, "001]"}, {"abc", ",", 0, ""},
      {"a,b,c", ",", 2, "b"}, {"a,b,c", ",", -1, ""}, {"", ",", 1, ""}, {"abc", "", 1, "abc"},
      {"abc\r", "", 2, "abc"}, {"abc", "", 3, ""}, {"a\r\n,b", ",", 1, "a"}, {"\r\r\r", ",", 1, "\r"},
      {"a,b,", ",", 4, ""}, {"[Area.012]", ".", 2, "012]"}, {"a\0,\xff"s, ",", 2, "\xff"},
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
