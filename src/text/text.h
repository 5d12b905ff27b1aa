#pragma once
// Byte-string primitives. Positions are 1-based; a search that finds nothing yields 0.
// Out-of-range arguments are never errors: they clip, or yield the empty text or 0.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A string of bytes with an explicit length; no character set is assumed. Functions that only
// look at a text take a std::string_view, so that a library mapped from its file needs no copy.
using Text = std::string;

// Separator inserted between a folder and a name: "\" on Windows, "/" elsewhere.
extern const char kPathSeparator[];

// The character that stands in for bytes that begin no character.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// The characters of UTF-8 text. Each byte that does not begin a well-formed character (a stray
// continuation, a lead cut short, an overlong form, a surrogate, beyond U+10FFFF) gives one
// kReplacementCharacter, and decoding goes on with the next byte.
std::u32string Utf8Characters(std::string_view t);

// The characters t stands for in the encoding this system keeps texts in: UTF-8 on POSIX, the
// ANSI code page on Windows, where a byte that stands for no character is up to the system.
std::u32string SystemCharacters(std::string_view t);

// Number of bytes of t. Inline, like ByteAt: the scans call both for every byte they look at.
inline int TextLength(std::string_view t) { return static_cast<int>(t.size()); }

// count bytes of t from start, clipped to t; a negative count runs to the end of t.
Text SubText(std::string_view t, int start, int count);

// Leftmost position at or after start where pattern lies wholly inside t, or 0.
// Linear in the length of t whatever the pattern.
int FindText(int start, std::string_view t, const Text& pattern);

// Like FindText, but letters match without regard to case (a to z as A to Z, every other byte
// only itself): the result of searching UpperText(t) for UpperText(pattern), without the copy
// of t. Occurrences for which accept(position) is false are passed over, still in time linear
// in the length of t; an empty accept takes every occurrence.
int FindTextNoCase(int start, std::string_view t, const Text& pattern,
                   const std::function<bool(int)>& accept = nullptr);

// t with the letters a to z turned into A to Z; every other byte and the length unchanged.
Text UpperText(const Text& t);

// How many leading bytes of pattern stand at pos in t, letters matched without case: the
// length of pattern when all of them do, 0 when pos is outside t.
int MatchLengthNoCase(std::string_view t, int pos, const Text& pattern);

// The byte at pos as 0 to 255; 0 outside t.
inline int ByteAt(std::string_view t, int pos) {
  if (pos < 1 || pos > static_cast<int>(t.size())) return 0;
  return static_cast<unsigned char>(t[pos - 1]);
}

// True when a and b hold the same bytes in the same order.
bool SameText(const Text& a, const Text& b);

// The number at the start of t ("&H", "&O", "&B" forms or a decimal number), 0 when none.
// Gives the same result on every platform: it does not use the C runtime's conversions.
double TextToNumber(const Text& t);

// n in decimal: "-" for negatives, no blank, no plus sign, no leading zeros.
Text NumberToText(int32_t n);

// x rounded to the nearest integer, a half going to the even neighbour; 0 when x is not
// finite or the rounded value does not fit 32 bits.
int32_t RoundToWhole(double x);

// The bytes of t in reverse order.
Text ReverseText(const Text& t);

// Field n of t cut at delimiter, with the end-of-text rules and the trim of up to two
// trailing CR or LF bytes.
Text GetField(const Text& t, const Text& delimiter, int n);

// path less its last component (cut at delimiter); the whole path when it has none.
Text ParentPath(const Text& path, const Text& delimiter, int n);
