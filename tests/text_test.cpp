#include "text.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace std::string_literals;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

int Same(int c) { return c; }
int Upper(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

// How many leading bytes of pattern stand at pos in t, compared through fold.
int PlainMatchLength(const Text& t, int pos, const Text& pattern, int (*fold)(int)) {
  int k = 0;
  while (pos >= 1 && pos + k <= TextLength(t) && k < TextLength(pattern) &&
         fold(ByteAt(t, pos + k)) == fold(ByteAt(pattern, k + 1)))
    ++k;
  return k;
}

// The first position at or after start where pattern stands in t, compared through fold.
int PlainFind(int start, const Text& t, const Text& pattern, int (*fold)(int)) {
  for (int i = start; start >= 1 && !pattern.empty() && i <= TextLength(t); ++i)
    if (PlainMatchLength(t, i, pattern, fold) == TextLength(pattern)) return i;
  return 0;
}

// Small alphabets make partial matches and overlaps frequent; "=", 0 and 255 move the candidate
// byte; @ [ ` { and high-bit letters must not fold. Half the patterns are cut from the text, case
// flipped, so long matches are common; texts are long enough for the eight-byte steps.
TEST(Search, AgreesWithAPlainScan) {
  std::mt19937 rng(12345);
  const Text alphabets[] = {"ab", "a=b", "a\0\xff"s, "aAzZbB@[`{=\xe1\xc1\xfa"};
  for (int round = 0; round < 24000; ++round) {
    const Text& alphabet = alphabets[round % 4];
    const auto random_text = [&](int length) {
      Text s(length, ' ');
      for (char& c : s) c = alphabet[rng() % alphabet.size()];
      return s;
    };
    const Text t = random_text(rng() % 41);
    Text pattern = round % 2 ? random_text(rng() % (round % 4 == 1 ? 4 : 8))
                             : SubText(t, 1 + rng() % (t.size() + 1), 1 + rng() % 20);
    for (char& c : pattern) c = rng() % 2 && Upper(c | 0x20) != (c | 0x20) ? c ^ 0x20 : c;
    for (int start = -1; start <= TextLength(t) + 2; ++start) {
      ASSERT_EQ(FindText(start, t, pattern), PlainFind(start, t, pattern, Same)) << start << t;
      ASSERT_EQ(FindTextNoCase(start, t, pattern), PlainFind(start, t, pattern, Upper)) << t;
      ASSERT_EQ(MatchLengthNoCase(t, start, pattern), PlainMatchLength(t, start, pattern, Upper));
    }
  }
}

TEST(TextToNumber, Table) {
  // clang-format off
  const struct { Text t; double want; } cases[] = {
      {"001]", 1}, {"  7", 7}, {"12abc", 12}, {"-3.5", -3.5}, {"1e2]", 100}, {"1e]", 1},
      {".5", 0.5}, {"5.", 5}, {"abc", 0}, {"", 0}, {"+7", 7}, {"-.5", -0.5}, {"- 5", 0},
      {"+-1", 0}, {".", 0}, {"1..5", 1}, {"\t\r 8", 8}, {"1E2", 100}, {"1e+2", 100}, {"0.1", 0.1},
      {"25e-2", 0.25}, {"1e+", 1}, {"2e-x", 2}, {".e1", 0}, {"3e1.5", 30}, {"7\0" "9"s, 7},
      // Beyond the range of a double: the order of magnitude decides.
      {"1e999", kInf}, {"-1e999", -kInf}, {"1e-999", 0}, {"0.01e999", kInf}, {"10e-999", 0},
      {"0e999999", 0}, {"1" + Text(400, '0'), kInf},
      // The radix forms: a 32-bit accumulator that wraps and is signed at the end.
      {"  &H1F", 31}, {"&hfa", 250}, {"&H90", 144}, {"&HFFFFFFFF", -1}, {"&H1FFFFFFFF", -1},
      {"&O17", 15}, {"&O78", 7}, {"&B101", 5}, {"&B102", 2}, {"&H", 0}, {"&X12", 0}, {"&", 0},
      {"\t&H1F", 0},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(TextToNumber(c.t), c.want) << c.t;
}

TEST(GetField, CutsAtTheDelimiterAndTrimsLineEnds) {
  // clang-format off
  const struct { Text t, delimiter; int n; Text want; } cases[] = {
      {"a,b,c", ",", 2, "b"}, {"a,,b", ",", 2, ""}, {"a", ",", 2, "a"}, {",a", ",", 1, ",a"},
      {"x=5\n\r\n", "=", 2, "5\n"}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(GetField(c.t, c.delimiter, c.n), c.want) << c.t;
  EXPECT_EQ(ParentPath("C:\\Tool\\setup.exe", "\\", 1), "C:\\Tool");
  EXPECT_EQ(ParentPath("setup.exe", "\\", 1), "setup.exe");
}

// Each byte that begins no well-formed character stands for itself as one U+FFFD: stray and
// overlong bytes, surrogates, beyond U+10FFFF or four bytes, a character cut short.
TEST(Utf8Characters, DecodesWellFormedCharactersOnly) {
  const char32_t R = kReplacementCharacter;
  const std::string invalid =
      "\x80\xC1\xBF\xE0\x9F\xBF\xED\xA0\x80\xED\xBF\xBF\xF4\x90\x80\x80\xF8\x90\x80\x80";
  EXPECT_EQ(Utf8Characters(invalid), std::u32string(invalid.size(), R));
  EXPECT_EQ(Utf8Characters("aZ\xE2\x94\x80\xE0\xA0\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\x7F"),
            U"aZ\x2500\x800\x1F600\x10FFFF\x7F");
  EXPECT_EQ(Utf8Characters(std::string("M\xFCn\xC3\xA9\x80\xE2\x94x\0\xC3", 11)),
            (std::u32string{'M', R, 'n', 0xE9, R, R, R, 'x', 0, R}));
}

}  // namespace
