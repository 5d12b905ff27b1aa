#include "text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

Text SubText(std::string_view t, int start, int count) {
  int64_t length = TextLength(t);
  if (start < 1 || start > length || count == 0) return Text();
  // 64-bit so that a start near the top of the int range plus a big count cannot wrap.
  int64_t end = count < 0 ? length : std::min<int64_t>(length, int64_t{start} + count - 1);
  return Text(t.substr(start - 1, end - start + 1));
}

// border[k] is the length of the longest proper prefix of pattern[0, k) that is also its
// suffix: how much of a partial match of k bytes survives a mismatch. Fills border[0..m].
static void PatternBorders(const Text& pattern, int* border) {
  int m = TextLength(pattern);
  border[0] = 0;
  if (m > 0) border[1] = 0;
  int k = 0;
  for (int i = 1; i < m; ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = border[k];
    if (pattern[i] == pattern[k]) ++k;
    border[i + 1] = k;
  }
}

static char UpperByte(char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); }

static bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Index of the pattern byte that candidates are looked up by: the first among the leading
// few that is no letter, digit or blank. In a library those stand on nearly every byte, while
// "=", "[" and "." stand about once a line, so memchr returns far less often. A search without
// case prefers any byte that is no letter, which memchr can still look up.
static int AnchorIndex(const Text& pattern, bool no_case) {
  int limit = std::min(TextLength(pattern), 8);
  for (int j = 0; j < limit; ++j) {
    char c = pattern[j];
    bool common = c == ' ' || (c >= '0' && c <= '9') || IsLetter(c);
    if (!common) return j;
  }
  for (int j = 0; no_case && j < limit; ++j) {
    if (!IsLetter(pattern[j])) return j;
  }
  return 0;
}

// The search behind FindText and FindTextNoCase; an empty accept takes every
// occurrence. With kNoCase, pattern is upper-cased and each byte of t is upper-cased as it is
// compared.
template <bool kNoCase>
static int Search(int start, std::string_view t, const Text& pattern,
                  const std::function<bool(int)>& accept) {
  int n = TextLength(t);
  int m = TextLength(pattern);
  if (n == 0 || m == 0 || start < 1 || start > n || m > n || n - (start - 1) < m) return 0;
  // The library scans search six-byte patterns a million times: their table stays off the heap.
  int short_border[64];
  std::vector<int> long_border;
  int* border = short_border;
  if (m + 1 > 64) {
    long_border.resize(m + 1);
    border = long_border.data();
  }
  PatternBorders(pattern, border);
  const char* s = t.data();
  const char* p = pattern.data();
  const int a = AnchorIndex(pattern, kNoCase);
  // A letter anchor without case has two values, which memchr cannot look for at once.
  const bool scan_anchor = kNoCase && IsLetter(p[a]);
  const auto byte_of_t = [s](int i) { return kNoCase ? UpperByte(s[i]) : s[i]; };
  // Knuth-Morris-Pratt, but with no partial match pending the next candidate is found with
  // memchr on the anchor byte: library texts are large and hits are rare, so nearly all the
  // time goes to memchr, while the border table keeps the worst case linear. No match can
  // start before the anchor's next occurrence less a, so skipping there loses none. An
  // occurrence that accept turns down is followed from its border, never searched again
  // from scratch, which would be quadratic for a pattern that stands everywhere.
  int i = start - 1;  // next byte of t to read
  int k = 0;          // bytes of pattern matched so far, ending just before i
  for (;;) {
    if (k == 0) {
      if (i > n - m) return 0;
      if (scan_anchor) {
        int j = i + a;
        while (j <= n - m + a && byte_of_t(j) != p[a]) ++j;
        if (j > n - m + a) return 0;
        i = j - a;
      } else {
        const void* hit = std::memchr(s + i + a, p[a], n - m + 1 - i);
        if (hit == nullptr) return 0;
        i = static_cast<int>(static_cast<const char*>(hit) - s) - a;
      }
    } else if (i >= n) {
      return 0;
    }
    if (byte_of_t(i) == p[k]) {
      ++i;
      ++k;
      if (k == m) {
        if (!accept || accept(i - m + 1)) return i - m + 1;
        k = border[m];
      }
    } else if (k == 0) {
      ++i;
    } else {
      k = border[k];
    }
  }
}

int FindText(int start, std::string_view t, const Text& pattern) {
  return Search<false>(start, t, pattern, nullptr);
}

int FindTextNoCase(int start, std::string_view t, const Text& pattern,
                   const std::function<bool(int)>& accept) {
  return Search<true>(start, t, UpperText(pattern), accept);
}

// The eight bytes at p as one number, the first byte lowest, on any machine. Written out, so
// that the compiler makes it one load where the machine allows.
static uint64_t LoadWord(const char* p) {
  const auto b = [p](int i) { return uint64_t{static_cast<unsigned char>(p[i])}; };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24 | b(4) << 32 | b(5) << 40 | b(6) << 48 |
         b(7) << 56;
}

// The eight bytes of w with their letters a to z upper-cased. The high bit of each byte is
// cleared before the additions, so no carry crosses into the next byte.
static uint64_t UpperWord(uint64_t w) {
  const uint64_t ones = 0x0101010101010101;
  const uint64_t low7 = w & (0x7f * ones);
  const uint64_t at_least_a = low7 + (0x80 - 'a') * ones;   // high bit set from 'a' up
  const uint64_t above_z = low7 + (0x80 - 'z' - 1) * ones;  // high bit set above 'z'
  const uint64_t lower = at_least_a & ~above_z & ~w & (0x80 * ones);
  return w - (lower >> 2);  // 0x80 >> 2 is the 32 between a letter's two cases
}

int MatchLengthNoCase(std::string_view t, int pos, const Text& pattern) {
  if (pos < 1 || pos > TextLength(t)) return 0;
  const size_t length = std::min(t.size() - (pos - 1), pattern.size());
  const char* s = t.data() + (pos - 1);
  const char* p = pattern.data();
  size_t j = 0;
  // Eight bytes at a time: values that share a long beginning, as numbered ones do, are
  // compared up to where they differ.
  for (; j + 8 <= length; j += 8) {
    const uint64_t differ = UpperWord(LoadWord(s + j)) ^ UpperWord(LoadWord(p + j));
    if (differ != 0) return static_cast<int>(j + std::countr_zero(differ) / 8);
  }
  while (j < length && UpperByte(s[j]) == UpperByte(p[j])) ++j;
  return static_cast<int>(j);
}

Text UpperText(const Text& t) {
  Text upper = t;
  char* p = upper.data();
  size_t n = upper.size();
  size_t i = 0;
  // Blocks of a fixed 16 bytes, because at -O2 the compiler vectorises only loops that need
  // no remainder handling, and the editor upper-cases the whole library text.
  for (; i + 16 <= n; i += 16)
    for (size_t j = 0; j < 16; ++j) p[i + j] = UpperByte(p[i + j]);
  for (; i < n; ++i) p[i] = UpperByte(p[i]);
  return upper;
}

bool SameText(const Text& a, const Text& b) { return a == b; }

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Value of c as a digit of base, or -1 when it is none.
static int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'A' && c <= 'Z')
    v = c - 'A' + 10;
  else if (c >= 'a' && c <= 'z')
    v = c - 'a' + 10;
  return v < base ? v : -1;
}

// The "&H", "&O" and "&B" forms: a 32-bit accumulator that wraps, read as signed at the end.
// Reading stops at the first byte that is not a digit of the base.
static double RadixNumber(const char* s, const char* end, int base) {
  uint32_t value = 0;
  for (; s < end; ++s) {
    int digit = DigitValue(*s, base);
    if (digit < 0) break;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(value);
}

// A decimal number in [s, end) that has already been checked to be digits, at most one
// point, at least one digit, then optionally "e", a sign and digits. from_chars rounds
// correctly and ignores the locale; on overflow and underflow it leaves the value to us.
static double ConvertDecimal(const char* s, const char* end) {
  double value = 0;
  auto [ptr, ec] = std::from_chars(s, end, value, std::chars_format::general);
  if (ec != std::errc::result_out_of_range) return value;
  // Out of range either way: the decimal order of magnitude tells which way.
  int64_t order = 0;
  bool leading = true;
  bool after_point = false;
  const char* c = s;
  for (; c < end && *c != 'e' && *c != 'E'; ++c) {
    if (*c == '.') {
      after_point = true;
    } else if (leading && *c == '0') {
      if (after_point) --order;
    } else {
      leading = false;
      if (!after_point) ++order;
    }
  }
  if (c < end) {
    ++c;
    bool negative = *c == '-';
    if (*c == '-' || *c == '+') ++c;
    int64_t exponent = 0;
    for (; c < end && exponent < 1000000000; ++c) exponent = exponent * 10 + (*c - '0');
    order += negative ? -exponent : exponent;
  }
  return order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

double TextToNumber(const Text& t) {
  const char* s = t.data();
  const char* end = s + t.size();
  while (s < end && *s == ' ') ++s;
  if (end - s >= 2 && s[0] == '&') {
    switch (s[1]) {
      case 'H':
      case 'h': return RadixNumber(s + 2, end, 16);
      case 'O':
      case 'o': return RadixNumber(s + 2, end, 8);
      case 'B':
      case 'b': return RadixNumber(s + 2, end, 2);
    }
  }
  while (s < end && (*s == ' ' || (*s >= '\t' && *s <= '\r'))) ++s;
  bool negative = false;
  if (s < end && (*s == '+' || *s == '-')) {
    negative = *s == '-';
    ++s;
  }
  const char* number = s;
  bool digits = false;
  bool point = false;
  for (; s < end; ++s) {
    if (IsDigit(*s))
      digits = true;
    else if (*s == '.' && !point)
      point = true;
    else
      break;
  }
  if (!digits) return 0;
  // The exponent belongs to the number only when at least one digit follows its sign.
  if (s < end && (*s == 'e' || *s == 'E')) {
    const char* e = s + 1;
    if (e < end && (*e == '+' || *e == '-')) ++e;
    if (e < end && IsDigit(*e)) {
      while (e < end && IsDigit(*e)) ++e;
      s = e;
    }
  }
  double value = ConvertDecimal(number, s);
  return negative ? -value : value;
}

Text NumberToText(int32_t n) {
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
  return Text(digits, end);
}

int32_t RoundToWhole(double x) {
  if (!std::isfinite(x)) return 0;
  // Built from trunc alone: x - trunc(x) is always exact, whereas some runtimes' round
  // adds 0.5 first and so turns the double just below 0.5 into 1.
  double whole = std::trunc(x);
  double fraction = std::fabs(x - whole);
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0))
    whole += std::copysign(1.0, x);
  if (whole < -2147483648.0 || whole > 2147483647.0) return 0;
  return static_cast<int32_t>(whole);
}

Text ReverseText(const Text& t) { return Text(t.rbegin(), t.rend()); }

Text GetField(const Text& t, const Text& delimiter, int n) {
  int length = TextLength(t);
  Text result;
  int pos = 1;
  int field = 1;
  int prev = 0;
  while (pos <= length) {
    pos = FindText(pos, t, delimiter);
    if (pos == 0) pos = length + 1;
    if (n == field || (pos >= length && n == field + 1)) {
      result = SubText(t, prev + 1, pos - prev - 1);
      pos = length;
    }
    prev = pos;
    pos = pos + 1;
    field = field + 1;
  }
  if (result.empty() && n == 1) result = t;
  int k = TextLength(result);
  for (int trimmed = 0; trimmed < 2; ++trimmed) {
    int byte = ByteAt(result, k);
    if (byte == '\n' || byte == '\r') --k;
  }
  return SubText(result, 1, k);
}

Text ParentPath(const Text& path, const Text& delimiter, int n) {
  Text last = GetField(ReverseText(path), delimiter, n);
  return SubText(path, 1, TextLength(path) - TextLength(last) - 1);
}

std::u32string Utf8Characters(std::string_view t) {
  std::u32string characters;
  for (size_t i = 0; i < t.size();) {
    const auto byte = [&t](size_t k) { return k < t.size() ? static_cast<uint8_t>(t[k]) : 0; };
    const uint8_t lead = byte(i);
    // Continuation bytes the lead announces, and the least value that needs that many.
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    char32_t c = extra ? lead & (0x3F >> extra) : lead;
    int taken = 0;
    while (taken < extra && (byte(i + 1 + taken) & 0xC0) == 0x80)
      c = (c << 6) | (byte(i + 1 + taken++) & 0x3F);
    const bool well_formed = (lead < 0x80 || extra > 0) && lead < 0xF8 && taken == extra &&
                             c >= least[extra] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    characters.push_back(well_formed ? c : kReplacementCharacter);
    i += well_formed ? 1 + extra : 1;
  }
  return characters;
}
