#include "library_file.h"

#include <algorithm>

#include "files.h"

// What the editor searches for; letters match without case.
static const Text kAreaHeaderPattern = "[AREA.";
static const Text kLayerEntryPattern = "LAYER=";
static const Text kTitleEntryPattern = "TITLE=";
static const Text kFolderEntryPattern = "LOCAL=";

bool AreaHeaderAt(const Text& library, int pos) {
  return MatchLengthNoCase(library, pos, kAreaHeaderPattern) == TextLength(kAreaHeaderPattern);
}

Text LibraryPath(const Text& simulator_folder) {
  return simulator_folder + kPathSeparator + "scenery.cfg";
}

Text BackupPath(const Text& product_folder) {
  return product_folder + kPathSeparator + "scenery_beforeinstall.cfg";
}

// The number behind the delimiter at pos + 5 when it is plain digits that end the number, as
// nearly every area number and layer is; -1 when the general reading is needed.
static int32_t PlainNumberAfter(const Text& library, int pos, char delimiter) {
  // The 12 characters from pos + 2, read in place: the scans call this a million times.
  const int n = std::min(12, TextLength(library) - (pos + 1));
  if (pos < 1 || n < 5)
    return -1;
  const char* w = library.data() + (pos + 1);
  if (w[0] == delimiter || w[1] == delimiter || w[2] == delimiter || w[3] != delimiter)
    return -1;
  int32_t value = 0;
  int i = 4;
  for (; i < n && w[i] >= '0' && w[i] <= '9'; ++i)
    value = value * 10 + (w[i] - '0');
  // A point or an exponent letter could carry the number on; the delimiter ends the field.
  if (i == 4 || (i < n && w[i] != delimiter && (w[i] == '.' || w[i] == 'e' || w[i] == 'E')))
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

// True when the value of an entry that ends just before next (1-based) ends there as a whole:
// after one "\" or "/" (folders only), only blanks or tabs up to a line end or the end of the
// text. So "Alps" does not match "Alps North", nor a folder a longer sibling folder.
static bool EndsValue(const Text& library, int next, bool folder) {
  if (folder && (ByteAt(library, next) == '\\' || ByteAt(library, next) == '/'))
    ++next;
  while (ByteAt(library, next) == ' ' || ByteAt(library, next) == '\t')
    ++next;
  return next > TextLength(library) || ByteAt(library, next) == '\r' ||
         ByteAt(library, next) == '\n';
}

namespace {

// A title or folder entry looked for at the positions that the walk over the "=" offers, in
// order; it keeps the first that holds the entry.
struct EntrySearch {
  Text pattern;       // "TITLE=" or "LOCAL=", then the value
  bool folder;        // the value may end in one "\" or "/"
  int64_t budget;     // bytes that checks of single positions may still compare
  int position = 0;   // the first entry, 0 while there is none
  bool done = false;  // position is final
};

// Looks for the entry at pos, unless search is done. Once these checks have compared as many
// bytes as library holds, one linear search from pos settles the rest instead: a value that
// nearly matches at every "=" must not make the walk quadratic.
void OfferEntry(const Text& library, int pos, EntrySearch& search) {
  if (search.done)
    return;
  const int length = TextLength(search.pattern);
  const int matched = MatchLengthNoCase(library, pos, search.pattern);
  search.budget -= matched;
  if (matched == length && EndsValue(library, pos + length, search.folder)) {
    search.position = pos;
    search.done = true;
  } else if (search.budget < 0) {
    search.position = FindTextNoCase(pos + 1, library, search.pattern, [&](int found) {
      return EndsValue(library, found + length, search.folder);
    });
    search.done = true;
  }
}

}  // namespace

EntryScan ScanEntries(const Text& library, const Text& title, const Text& folder) {
  EntryScan scan;
  EntrySearch title_search{kTitleEntryPattern + title, false, TextLength(library)};
  EntrySearch folder_search{kFolderEntryPattern + folder, true, TextLength(library)};
  for (int q = FindByte(6, library, '='); q > 0; q = FindByte(q + 1, library, '=')) {
    const int h = q - 5;
    // The first letter tells the three keys apart; most "=" close other keys.
    switch (ByteAt(library, h)) {
      case 'L': case 'l':
        if (MatchLengthNoCase(library, h, kLayerEntryPattern) == TextLength(kLayerEntryPattern))
          scan.highest_layer = std::max(scan.highest_layer, NumberAfter(library, h, "="));
        else
          OfferEntry(library, h, folder_search);
        break;
      case 'T': case 't':
        OfferEntry(library, h, title_search);
        break;
    }
  }
  scan.title_pos = title_search.position;
  scan.folder_pos = folder_search.position;
  return scan;
}
