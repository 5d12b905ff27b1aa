#include "library_file.h"

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

int32_t NumberAfter(const Text& library, int pos, const Text& delimiter) {
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

// Position of the first occurrence of pattern in upper_library whose value ends right after
// it: after an optional trailing separator (when allowed), only blanks or tabs up to a line
// end or the end of the text. Occurrences that run on into a longer value are passed over, so
// "Alps" does not match "Alps North" and a folder does not match a longer sibling folder.
static int FindWholeValue(const Text& upper_library, const Text& pattern,
                          bool allow_trailing_separator) {
  const int length = TextLength(upper_library);
  const auto ends_value = [&](int pos) {
    int next = pos + TextLength(pattern);  // 1-based position just after the match
    if (allow_trailing_separator && (ByteAt(upper_library, next) == '\\' ||
                                     ByteAt(upper_library, next) == '/'))
      ++next;
    while (ByteAt(upper_library, next) == ' ' || ByteAt(upper_library, next) == '\t')
      ++next;
    return next > length || ByteAt(upper_library, next) == '\r' ||
           ByteAt(upper_library, next) == '\n';
  };
  return FindTextWhere(1, upper_library, pattern, ends_value);
}

int FindTitleEntry(const Text& upper_library, const Text& title) {
  return FindWholeValue(upper_library, kTitleEntryPattern + UpperText(title), false);
}

int FindFolderEntry(const Text& upper_library, const Text& folder) {
  return FindWholeValue(upper_library, kFolderEntryPattern + UpperText(folder), true);
}
