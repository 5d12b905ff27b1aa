#include "library_file.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "byte_vectors.h"

// What the editor searches for; letters match without case.
static const char kAreaHeaderKey[] = "[area.";
static const char kLayerEntryKey[] = "layer=";
static const Text kTitleEntryPattern = "TITLE=";
static const Text kFolderEntryPattern = "LOCAL=";

Text LibraryPath(const Text& simulator_folder) {
  return simulator_folder + kPathSeparator + "scenery.cfg";
}

Text BackupPath(const Text& product_folder) {
  return product_folder + kPathSeparator + "scenery_beforeinstall.cfg";
}

// The number behind the delimiter at pos + 5 when it is plain digits that end the number, as
// nearly every area number and layer is; -1 when the general reading is needed.
static int32_t PlainNumberAfter(std::string_view library, int pos, char delimiter) {
  // The 12 characters from pos + 2, read in place: the scans call this a million times.
  const int n = std::min(12, TextLength(library) - (pos + 1));
  if (pos < 1 || n < 5) return -1;
  const char* w = library.data() + (pos + 1);
  if (w[0] == delimiter || w[1] == delimiter || w[2] == delimiter || w[3] != delimiter) return -1;
  int32_t value = 0;
  int i = 4;
  for (; i < n && w[i] >= '0' && w[i] <= '9'; ++i) value = value * 10 + (w[i] - '0');
  // A point or an exponent letter could carry the number on; the delimiter ends the field.
  if (i == 4 || (i < n && w[i] != delimiter && (w[i] == '.' || w[i] == 'e' || w[i] == 'E')))
    return -1;
  return value;
}

int32_t NumberAfter(std::string_view library, int pos, char delimiter) {
  int32_t plain = PlainNumberAfter(library, pos, delimiter);
  if (plain >= 0) return plain;
  // The 12 characters from pos + 2 hold the delimiter at their fourth place, so field 2 is at
  // most the 8 characters after it.
  Text window = SubText(library, pos + 2, 12);
  return RoundToWhole(TextToNumber(GetField(window, Text(1, delimiter), 2)));
}

Text FormatAreaNumber(int32_t n) {
  Text digits = NumberToText(n);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return digits;
}

Text AreaSectionText(int32_t area_number, int32_t layer_number, const Text& title,
                     const Text& folder) {
  return "\r\n[Area." + FormatAreaNumber(area_number) + "]\r\n" + "Title=" + title + "\r\n" +
         "local=" + folder + "\r\n" + "Active=TRUE\r\n" + "Layer=" + NumberToText(layer_number) +
         "\r\n" + "\r\n";
}

// True when the value of an entry that ends just before next (1-based) ends there as a whole:
// after one "\" or "/" (folders only), only blanks or tabs up to a line end or the end of the
// text. So "Alps" does not match "Alps North", nor a folder a longer sibling folder.
static bool EndsValue(std::string_view library, int next, bool folder) {
  if (folder && (ByteAt(library, next) == '\\' || ByteAt(library, next) == '/')) ++next;
  while (ByteAt(library, next) == ' ' || ByteAt(library, next) == '\t') ++next;
  return next > TextLength(library) || ByteAt(library, next) == '\r' ||
         ByteAt(library, next) == '\n';
}

namespace {

// A title or folder entry looked for at the positions that the walk over the "=" offers, in
// order; it keeps the first that holds the entry.
struct EntrySearch {
  Text pattern;    // "TITLE=" or "LOCAL=", then the value
  bool folder;     // the value may end in one "\" or "/"
  int64_t budget;  // bytes that checks of single positions may still compare
  size_t reach;    // the text up to here holds every entry that the walk could offer
  Text last = pattern.substr(pattern.size() - 1);  // the byte the pattern ends with
  int position = 0;                                // the first entry, 0 while there is none
  bool done = false;                               // position is final
};

// Looks for the entry at pos, unless search is done; copy, when given, holds the pattern's
// length of bytes from pos, to compare instead of the library's own. Once these checks have
// compared as many bytes as the walk covers, one linear search from pos settles the rest
// instead: a value that nearly matches at every "=" must not make the walk quadratic.
void OfferEntry(std::string_view library, int pos, EntrySearch& search,
                std::string_view copy = {}) {
  if (search.done) return;
  const int length = TextLength(search.pattern);
  const std::string_view at = copy.empty() ? library.substr(pos - 1) : copy;
  // Values mostly differ in length, and numbered ones share their beginning: the pattern's
  // last byte turns most away before that beginning is compared.
  if (MatchLengthNoCase(at, length, search.last) == 0) return;
  const int matched = MatchLengthNoCase(at, 1, search.pattern);
  search.budget -= matched;
  if (matched == length && EndsValue(library, pos + length, search.folder)) {
    search.position = pos;
    search.done = true;
  } else if (search.budget < 0) {
    search.position = FindTextNoCase(
        pos + 1, library.substr(0, search.reach), search.pattern,
        [&](int found) { return EndsValue(library, found + length, search.folder); });
    search.done = true;
  }
}

// The search for the entries of pattern that a walk over the stops at the 0-based indexes
// [begin, end) of library offers: an entry's "=" is its sixth byte, so the last ends at reach.
EntrySearch SearchOver(std::string_view library, size_t begin, size_t end, const Text& pattern,
                       bool folder) {
  return {pattern, folder, static_cast<int64_t>(end - begin),
          std::min(library.size(), end - std::min<size_t>(end, 6) + pattern.size())};
}

// A byte with bit 5 set: a letter in lower case, any other byte changed alike, so that it
// equals a lower-case letter only when it is that letter in either case.
constexpr unsigned char kLowerBit = 0x20;

// True when the bytes of s from the 0-based index i are key, whose letters are given in lower
// case, in any case. Written out for the two six-byte keys met a million times each.
bool KeyAt(const char* s, size_t n, size_t i, const char* key) {
  for (; *key != 0; ++i, ++key) {
    if (i >= n) return false;
    const unsigned char c = s[i];
    if ((*key >= 'a' && *key <= 'z' ? c | kLowerBit : c) != *key) return false;
  }
  return true;
}

// True when a layer, title or folder entry or an area header can start at the 0-based index
// i - 5 (an "=" with "L" or "T" five bytes before it) or i (a "[" followed by "A") of s.
bool StopAt(const char* s, size_t n, size_t i) {
  const unsigned char key = i >= 5 ? s[i - 5] | kLowerBit : 0;
  return (s[i] == '=' && (key == 'l' || key == 't')) ||
         (s[i] == '[' && i + 1 < n && (s[i + 1] | kLowerBit) == 'a');
}

// StopAt for the 64 indexes from i, as the bits of the result, bit j for index i + j. Needs
// the 5 bytes before them and the one after them inside s.
uint64_t StopsAt64(const char* s, size_t i) {
  uint64_t stops = 0;
  for (int b = 0; b < 64; b += 16) {
    const Bytes16 at = Load16(s + i + b);
    const Bytes16 key = Load16(s + i + b - 5) | kLowerBit;
    const Bytes16 next = Load16(s + i + b + 1) | kLowerBit;
    stops |= BitsOf(((at == '=') & ((key == 'l') | (key == 't'))) | ((at == '[') & (next == 'a')))
             << b;
  }
  return stops;
}

// A byte of a pattern as the walk compares it: the bit that tells a letter's case is set on
// both sides where the byte is a letter, and is kept otherwise.
struct NoCaseByte {
  unsigned char fold;   // kLowerBit for a letter, else 0
  unsigned char value;  // the byte with fold set
  explicit NoCaseByte(char c)
      : fold((c | kLowerBit) >= 'a' && (c | kLowerBit) <= 'z' ? kLowerBit : 0),
        value(static_cast<unsigned char>(c) | fold) {}
};

// Where among the 64 bytes from p the "=" of a folder entry, whose pattern ends with last after
// length bytes, may stand: an "=" with an "L" 5 bytes before it and last at the pattern's end.
// Needs the 5 bytes before them and length - 6 after them.
uint64_t FolderStopsAt64(const char* p, NoCaseByte last, size_t length) {
  uint64_t stops = 0;
  for (int b = 0; b < 64; b += 16) {
    const Bytes16 at = Load16(p + b);
    const Bytes16 key = Load16(p + b - 5) | kLowerBit;
    const Bytes16 end = Load16(p + b - 6 + length) | last.fold;
    stops |= BitsOf((at == '=') & (key == 'l') & (end == last.value)) << b;
  }
  return stops;
}

// What the walk finds among the stops at the 0-based indexes [begin, end) of library: a title
// or folder entry counts when its "=" is among them.
struct PartScan {
  int32_t highest_area = 0;
  int32_t highest_layer = 0;
  int title_pos = 0;
  int folder_pos = 0;
};

PartScan ScanPart(std::string_view library, size_t begin, size_t end, const Text& title_pattern,
                  const Text& folder_pattern) {
  PartScan part;
  EntrySearch title_search = SearchOver(library, begin, end, title_pattern, false);
  EntrySearch folder_search = SearchOver(library, begin, end, folder_pattern, true);
  const char* s = library.data();
  const size_t n = library.size();
  for (size_t i = begin; i < end;) {
    // The stops among the next 64 indexes at once where the bytes around them are inside the
    // text and the indexes inside the part, else those of index i alone.
    const bool whole = i >= 5 && i + 65 <= n && i + 64 <= end;
    uint64_t stops = whole ? StopsAt64(s, i) : StopAt(s, n, i);
    for (; stops != 0; stops &= stops - 1) {
      const size_t at = i + std::countr_zero(stops);
      const int q = static_cast<int>(at) + 1;
      if (s[at] == '[') {
        if (KeyAt(s, n, at, kAreaHeaderKey))
          part.highest_area = std::max(part.highest_area, NumberAfter(library, q, '.'));
      } else if ((s[at - 5] | kLowerBit) == 't') {
        OfferEntry(library, q - 5, title_search);
      } else if (KeyAt(s, n, at - 5, kLayerEntryKey)) {
        part.highest_layer = std::max(part.highest_layer, NumberAfter(library, q - 5, '='));
      } else {
        OfferEntry(library, q - 5, folder_search);
      }
    }
    i += whole ? 64 : 1;
  }
  part.title_pos = title_search.position;
  part.folder_pos = folder_search.position;
  return part;
}

// Lowers limit to value unless another thread lowered it further.
void LowerTo(std::atomic<size_t>& limit, size_t value) {
  size_t now = limit.load();
  while (value < now && !limit.compare_exchange_weak(now, value)) {
  }
}

// The first folder entry (the one ScanPart finds) whose "=" stands at the 0-based indexes
// [begin, end) of library, 0 when there is none: no stop but those that may start the entry.
int FolderEntryIn(std::string_view library, size_t begin, size_t end, const Text& pattern,
                  const ByteSource* copies) {
  EntrySearch search = SearchOver(library, begin, end, pattern, true);
  const NoCaseByte last(pattern.back());
  const char* s = library.data();
  const size_t n = library.size(), m = pattern.size();
  // Where the library is a mapped file, the entries are looked for in copies of its stretches,
  // and only one that holds the pattern is read in place: the first look at a mapped page costs
  // more than a copy of it through the system.
  constexpr size_t kStretch = 256 << 10;
  std::unique_ptr<char[]> copy;
  size_t copied_from = 0, copied_to = 0;  // copy holds library bytes [copied_from, copied_to)
  bool copied = false;
  for (size_t i = begin; i < end && !search.done;) {
    const bool whole = i >= 5 && i + 58 + m <= n && i + 64 <= end;
    if (whole && (i < copied_from + 5 || i + 58 + m > copied_to)) {
      if (!copy) copy = std::make_unique<char[]>(std::min(kStretch, end - begin) + 63 + m);
      copied_from = i - 5;
      copied_to = std::min(n, std::min(end, i + kStretch) + 58 + m);
      copied = copies && copies->Copy(s + copied_from, copied_to - copied_from, copy.get());
    }
    uint64_t stops =
        !whole ? i >= 5 && s[i] == '=' && (s[i - 5] | kLowerBit) == 'l'
               : FolderStopsAt64(copied ? copy.get() + (i - copied_from) : s + i, last, m);
    for (; stops != 0 && !search.done; stops &= stops - 1) {
      const size_t entry = i + std::countr_zero(stops) - 5;
      OfferEntry(library, static_cast<int>(entry) + 1, search,
                 whole && copied ? std::string_view(copy.get() + (entry - copied_from), m)
                                 : std::string_view());
    }
    i += whole ? 64 : 1;
  }
  return search.position;
}

bool HeaderAt(std::string_view library, size_t index) {
  return library[index] == '[' && KeyAt(library.data(), library.size(), index, kAreaHeaderKey);
}

}  // namespace

LibraryScan ScanLibraryInParts(std::string_view library, const Text& title, const Text& folder,
                               const ScanPlan& plan) {
  const Text title_pattern = kTitleEntryPattern + title;
  const Text folder_pattern = kFolderEntryPattern + folder;
  const size_t chunk = std::max<size_t>(plan.chunk, 1);
  const size_t pieces = std::max<size_t>((library.size() + chunk - 1) / chunk, 1);
  std::vector<PartScan> found(pieces);
  // Pieces are handed out in order, so every piece before the one that ends the walk is walked.
  std::atomic<size_t> next = 0;
  std::atomic<size_t> walked_to = pieces;  // no piece from here on needs walking
  const auto walk = [&] {
    for (size_t k = next++; k < walked_to.load(); k = next++) {
      const size_t begin = k * chunk, end = std::min(library.size(), begin + chunk);
      if (!plan.until_folder) {
        found[k] = ScanPart(library, begin, end, title_pattern, folder_pattern);
        continue;
      }
      found[k].folder_pos = FolderEntryIn(library, begin, end, folder_pattern, plan.copies);
      if (found[k].folder_pos > 0) LowerTo(walked_to, k + 1);
    }
  };
  std::vector<std::thread> others;
  for (int t = 1; t < plan.threads && static_cast<size_t>(t) < pieces; ++t) {
    try {
      others.emplace_back(walk);
    } catch (const std::system_error&) {  // no thread to be had: fewer walk side by side
      break;
    }
  }
  walk();
  for (std::thread& other : others) other.join();

  // The first entry is the first piece's, unless it has none.
  LibraryScan scan;
  for (size_t k = 0; k < walked_to.load(); ++k) {
    scan.highest_area = std::max(scan.highest_area, found[k].highest_area);
    scan.highest_layer = std::max(scan.highest_layer, found[k].highest_layer);
    if (scan.title_pos == 0) scan.title_pos = found[k].title_pos;
    if (scan.folder_pos == 0) scan.folder_pos = found[k].folder_pos;
  }
  // Whether there are numbers above 0 shows near the start of nearly any library that has them.
  constexpr size_t kFirstAreas = 65536;
  for (size_t begin = 0; plan.until_folder && begin < library.size() &&
                         (scan.highest_area == 0 || scan.highest_layer == 0);
       begin += kFirstAreas) {
    const PartScan part = ScanPart(library, begin, std::min(library.size(), begin + kFirstAreas),
                                   title_pattern, folder_pattern);
    scan.highest_area = std::max(scan.highest_area, part.highest_area);
    scan.highest_layer = std::max(scan.highest_layer, part.highest_layer);
  }
  if (scan.folder_pos == 0) return scan;
  // The folder entry's section runs from the nearest area header before it to the nearest one
  // after it, or to the end of the text.
  const size_t entry = scan.folder_pos - 1;
  for (size_t i = entry; i-- > 0;) {
    if (HeaderAt(library, i)) {
      scan.section_start = static_cast<int>(i) + 1;
      break;
    }
  }
  scan.section_end = TextLength(library);
  for (size_t i = entry + 1; i < library.size(); ++i) {
    const char* bracket =
        static_cast<const char*>(std::memchr(library.data() + i, '[', library.size() - i));
    if (bracket == nullptr) break;
    i = bracket - library.data();
    if (HeaderAt(library, i)) {
      scan.section_end = static_cast<int>(i) + 1;
      break;
    }
  }
  return scan;
}

LibraryScan ScanLibrary(std::string_view library, const Text& title, const Text& folder,
                        bool until_folder, const ByteSource* copies) {
  // A large library is walked by two threads: the first look at each page of a mapped file,
  // most of the walk's time, is then shared by two processors (173 ms alone, 100 ms shared for
  // the 155 MB library on this project's machine). Pieces of 4 MiB end a walk until the folder
  // entry soon after it.
  constexpr size_t kPiece = size_t{4} << 20;
  return ScanLibraryInParts(library, title, folder,
                            {kPiece, library.size() > kPiece ? 2 : 1, until_folder, copies});
}
