#include "library_check.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "library_file.h"
#include "library_list.h"

namespace {

unsigned char Upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

// A folder as ADD compares it: without the blanks or tabs after it and then one "\" or "/".
std::string_view FolderKey(std::string_view folder) {
  while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\t'))
    folder.remove_suffix(1);
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.remove_suffix(1);
  return folder;
}

// Folder keys hashed and compared with letters in either case.
struct NoCaseHash {
  size_t operator()(std::string_view s) const {
    // The start drawn at each run, so that no crafted set of folders collides every time.
    static const size_t start = 14695981039346656037u ^ std::random_device()();
    size_t hash = start;
    for (unsigned char c : s) hash = (hash ^ Upper(c)) * 1099511628211u;
    return hash;
  }
};
struct NoCaseEqual {
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
  }
};

// Area and layer numbers hashed with a multiplier drawn at each run: any fixed hash lets a
// crafted library pile its numbers onto a few places and make CHECK take quadratic time.
struct NumberHash {
  size_t operator()(int32_t n) const {
    static const uint64_t multiplier =
        (uint64_t{std::random_device()()} << 32 | std::random_device()()) | 1;
    return static_cast<size_t>((static_cast<uint32_t>(n) * multiplier) >> 32);
  }
};

// The first line each key was noted on, in one flat table sized for all keys at once: a
// lookup touches one place in memory, where a node-based map touches three, and a library of
// a million sections outgrows every cache.
template <typename Key, typename Hash, typename Equal = std::equal_to<Key>>
class FirstLines {
 public:
  explicit FirstLines(size_t keys) : slots_(std::bit_ceil(keys + keys / 2 + 1)) {}

  // The line key was first noted on; line itself, noted, when key is new. line is above 0.
  int Note(const Key& key, int line) {
    const size_t mask = slots_.size() - 1;
    for (size_t at = Hash()(key) & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.line == 0) {
        slot = {key, line};
        return line;
      }
      if (Equal()(slot.key, key)) return slot.line;
    }
  }

 private:
  struct Slot {
    Key key{};
    int line = 0;  // 0: free
  };
  std::vector<Slot> slots_;
};

// The line ends in text: LF, CR LF and a CR that no LF follows inside text.
int LineEnds(std::string_view text) {
  int ends = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    ends += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
  }
  return ends;
}

Text Quoted(std::string_view value) {
  Text quoted = "'";
  AppendEscaped(value, &quoted);
  return quoted + "'";
}

// Walks the sections in order and reports what each one adds to what the earlier ones held.
class SectionChecker {
 public:
  // sections is at least the number of sections in library.
  SectionChecker(std::string_view library, size_t sections,
                 const std::function<bool(std::string_view)>& folder_exists,
                 const std::function<void(const Finding&)>& report)
      : library_(library),
        folder_exists_(folder_exists),
        report_(report),
        areas_(sections),
        layers_(sections),
        folders_(sections) {}

  void Check(const AreaSection& section) {
    const size_t offset = section.text.data() - library_.data();
    line_ += LineEnds(library_.substr(counted_, offset - counted_));
    counted_ = offset;
    const int line = line_ + 1;

    const int32_t area = NumberAfter(section.text, 1, '.');
    const int area_line = area > 0 ? areas_.Note(area, line) : line;
    if (area_line != line)
      Report(line, Problem::SameAreaNumber,
             "area " + Escaped(section.area) + " has the number of the area on line " +
                 NumberToText(area_line));
    const int32_t layer =
        section.layer.at > 0 ? NumberAfter(section.text, section.layer.at, '=') : 0;
    const int layer_line = layer > 0 ? layers_.Note(layer, line) : line;
    if (layer_line != line)
      Report(line, Problem::SameLayer,
             "layer " + NumberToText(layer) + " is also the layer of the section on line " +
                 NumberToText(layer_line));
    if (section.folder.at == 0)
      Report(line, Problem::NoFolderEntry, "the section has no folder entry (local=)");
    if (section.layer.at == 0)
      Report(line, Problem::NoLayerEntry, "the section has no layer entry (Layer=)");
    if (section.folder.at == 0) return;
    const std::string_view key = FolderKey(section.folder.value);
    const int folder_line = key.empty() ? line : folders_.Note(key, line);
    if (folder_line != line)
      Report(line, Problem::SameFolder,
             "folder " + Quoted(section.folder.value) + " is also registered on line " +
                 NumberToText(folder_line));
    if (!folder_exists_(section.folder.value))
      Report(line, Problem::MissingFolder,
             "folder " + Quoted(section.folder.value) + " does not exist");
  }

  void Report(int line, Problem problem, const Text& text) {
    ++findings;
    report_({line, problem, text});
  }

  int findings = 0;

 private:
  static Text Escaped(std::string_view value) {
    Text escaped;
    AppendEscaped(value, &escaped);
    return escaped;
  }

  std::string_view library_;
  const std::function<bool(std::string_view)>& folder_exists_;
  const std::function<void(const Finding&)>& report_;
  size_t counted_ = 0;  // line ends before this index are in line_
  int line_ = 0;
  FirstLines<int32_t, NumberHash> areas_, layers_;
  FirstLines<std::string_view, NoCaseHash, NoCaseEqual> folders_;
};

}  // namespace

CheckCount CheckLibraryText(std::string_view library,
                            const std::function<bool(std::string_view)>& folder_exists,
                            const std::function<void(const Finding&)>& report) {
  // Every section begins with "[", so its count bounds theirs.
  SectionChecker checker(library, std::count(library.begin(), library.end(), '['), folder_exists,
                         report);
  const auto starts = [&](const char* mark) { return library.substr(0, 2) == mark; };
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    checker.Report(1, Problem::Utf16,
                   "the library is UTF-16 text (it begins with a byte-order mark): ADD and "
                   "REMOVE never edit it, since they work on its bytes");
    return {0, checker.findings};
  }
  const size_t nul = library.find('\0');
  if (nul != std::string_view::npos)
    checker.Report(1, Problem::NulBytes,
                   "the library holds NUL bytes, the first on line " +
                       NumberToText(LineEnds(library.substr(0, nul)) + 1) +
                       ": it is no plain text");
  const LibraryScan scan = ScanLibrary(library, Text(), Text());
  if (scan.highest_area == 0)
    checker.Report(1, Problem::NoNumberedArea,
                   "no area header has a number above 0: ADD and REMOVE cannot edit the library");
  if (scan.highest_layer == 0)
    checker.Report(1, Problem::NoLayer,
                   "no layer entry has a number above 0: ADD and REMOVE cannot edit the library");
  CheckCount count;
  VisitAreaSections(library, true, [&](const AreaSection& section) {
    ++count.sections;
    checker.Check(section);
  });
  count.findings = checker.findings;
  return count;
}

Text FindingLine(const Finding& finding) {
  return "line " + NumberToText(finding.line) + ": " + finding.text + "\r\n";
}

Text CheckSummaryLine(const CheckCount& count) {
  const Text sections =
      NumberToText(count.sections) + (count.sections == 1 ? " area section" : " area sections");
  if (count.findings == 0) return "No findings in " + sections + "\r\n";
  return NumberToText(count.findings) + (count.findings == 1 ? " finding in " : " findings in ") +
         sections + "\r\n";
}
