#include "library_file.h"

#include <algorithm>

#include "files.h"

const char kAreaHeaderPattern[] = "[AREA.";
const char kLayerEntryPattern[] = "LAYER=";
const char kTitleEntryPattern[] = "TITLE=";
const char kFolderEntryPattern[] = "LOCAL=";

Text LibraryPath(const Text& simulator_folder) {
  return simulator_folder + kPathSeparator + "scenery.cfg";
}

Text BackupPath(const Text& product_folder) {
  return product_folder + kPathSeparator + "scenery_beforeinstall.cfg";
}

// The number behind the delimiter at pos + 5 when it is plain digits that end the number, as
// nearly every area number and layer is; -1 when the general reading is needed.
static int32_t PlainNumberAfter(const Text& library, int pos, char delimiter) {
  const int last = std::min(TextLength(library), pos + 13);  // the end of the 12 characters
  for (int q = pos + 2; q < pos + 5; ++q) {
    if (ByteAt(library, q) == delimiter)
      return -1;
  }
  if (ByteAt(library, pos + 5) != delimiter)
    return -1;
  int32_t value = 0;
  int q = pos + 6;
  for (; q <= last && ByteAt(library, q) >= '0' && ByteAt(library, q) <= '9'; ++q)
    value = value * 10 + (ByteAt(library, q) - '0');
  // A point or an exponent letter could carry the number on; the delimiter ends the field.
  const int next = q <= last ? ByteAt(library, q) : 0;
  if (q == pos + 6 || (next != delimiter && (next == '.' || next == 'e' || next == 'E')))
    return -1;
  return value;
}

int32_t NumberAfter(const Text& library, int pos, const Text& delimiter) {
  if (TextLength(delimiter) == 1) {
    int32_t plain = PlainNumberAfter(library, pos, delimiter[0]);
    if (plain >= 0)
      return plain;
  }
  // The 12 characters from pos + 2 hold the delimiter at their fourth place, so field 2 is at
  // most the 8 characters after it.
  Text window = SubText(library, pos + 2, 12);
  return RoundToWhole(TextToNumber(GetField(window, delimiter, 2)));
}

Text FormatAreaNumber(int32_t n) {
  Text digits = NumberToText(n);
  if (digits.size() < 3)
    digits.insert(0, 3 - digits.size(), '0');
  return digits;
}

Text AreaSectionText(int32_t area_number, int32_t layer_number, const Text& title,
                     const Text& folder) {
  return "\r\n[Area." + FormatAreaNumber(area_number) + "]\r\n" +
         "Title=" + title + "\r\n" +
         "local=" + folder + "\r\n" +
         "Active=TRUE\r\n" +
         "Layer=" + NumberToText(layer_number) + "\r\n" +
         "\r\n";
}

// Position of the first occurrence of pattern in library, letters matched without case, whose
// value ends right after it: after an optional trailing separator (when allowed), only blanks
// or tabs up to a line end or the end of the text. Occurrences that run on into a longer value are passed over, so
// "Alps" does not match "Alps North" and a folder does not match a longer sibling folder.
static int FindWholeValue(const Text& library, const Text& pattern,
                          bool allow_trailing_separator) {
  const int length = TextLength(library);
  const auto ends_value = [&](int pos) {
    int next = pos + TextLength(pattern);  // 1-based position just after the match
    if (allow_trailing_separator && (ByteAt(library, next) == '\\' ||
                                     ByteAt(library, next) == '/'))
      ++next;
    while (ByteAt(library, next) == ' ' || ByteAt(library, next) == '\t')
      ++next;
    return next > length || ByteAt(library, next) == '\r' ||
           ByteAt(library, next) == '\n';
  };
  return FindTextNoCase(1, library, pattern, ends_value);
}

int FindTitleEntry(const Text& library, const Text& title) {
  return FindWholeValue(library, kTitleEntryPattern + title, false);
}

int FindFolderEntry(const Text& library, const Text& folder) {
  return FindWholeValue(library, kFolderEntryPattern + folder, true);
}
