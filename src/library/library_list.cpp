#include "library_list.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "byte_vectors.h"

const char kListHeading[] = "area\tlayer\tactive\ttitle\tfolder\r\n";

namespace {

constexpr size_t kHeaderLength = 6;  // "[Area."

unsigned char Upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

// True when the bytes of s that end just before index end are key (upper case) in any case.
bool KeyBefore(std::string_view s, size_t end, std::string_view key) {
  if (end < key.size() || end > s.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (Upper(s[end - key.size() + i]) != static_cast<unsigned char>(key[i])) return false;
  }
  return true;
}

// True when the "[" at index at of s opens an area header.
bool IsHeader(std::string_view s, size_t at) { return KeyBefore(s, at + kHeaderLength, "[AREA."); }

// True for the bytes AppendEscaped escapes.
bool IsEscaped(unsigned char c) { return c < 32 || c == 127 || c == '%'; }

// The "[" and "=" among the 64 bytes of text from index i, bit j for the byte j places on; none
// past its end.
uint64_t StopsAt(std::string_view text, size_t i) {
  char tail[64] = {};
  const char* p = text.data() + i;
  if (text.size() - i < 64) p = static_cast<const char*>(std::memcpy(tail, p, text.size() - i));
  uint64_t stops = 0;
  for (int b = 0; b < 64; b += 16) {
    const Bytes16 v = Load16(p + b);
    stops |= BitsOf((v == '[') | (v == '=')) << b;
  }
  return stops;
}

// How a value runs from index from of text: up to its first line end, or limit.
struct ValueRun {
  size_t length = 0;
  bool plain = true;  // none of its bytes is one that AppendEscaped escapes
};

// Sixteen bytes at a time, like the walk: nearly every value ends within one or two steps.
ValueRun RunAt(std::string_view text, size_t from, size_t limit) {
  ValueRun run;
  for (size_t i = from;; i += 16) {
    char tail[16] = {};
    const char* p = text.data() + i;
    if (text.size() - i < 16) p = static_cast<const char*>(std::memcpy(tail, p, text.size() - i));
    const Bytes16 v = Load16(p);
    const uint64_t ends = BitsOf((v == '\r') | (v == '\n')) | 1 << 16;  // 16: none here
    const uint64_t escaped = BitsOf((v < 32) | (v == 127) | (v == '%'));
    const size_t stop = std::min<size_t>(std::countr_zero(ends), limit - i);
    if ((escaped & ((uint64_t{1} << stop) - 1)) != 0) run.plain = false;
    if (stop < 16) {
      run.length = i + stop - from;
      return run;
    }
  }
}

// The section that the walk is in: its entries are kept as their "=" comes by, and their values
// are ended when the section ends.
class SectionReader {
 public:
  void Start(std::string_view text, size_t header) {
    // Field by field: a whole new AreaSection copied in stalled on its own fresh stores.
    read_.layer = read_.active = read_.title = read_.folder = SectionEntry();
    read_.plain = true;
    start_ = header;
    // The number is short, and it ends by the next header at the latest: a look at each byte
    // costs less here than a vector.
    size_t end = header + kHeaderLength;
    while (end < text.size() && text[end] != ']' && text[end] != '\r' && text[end] != '\n' &&
           (text[end] != '[' || !IsHeader(text, end))) {
      if (IsEscaped(text[end])) read_.plain = false;
      ++end;
    }
    read_.area = text.substr(header + kHeaderLength, end - (header + kHeaderLength));
  }

  // An "=" at index at, inside the section.
  void At(std::string_view text, size_t at) {
    // The letter before the "=" tells which key it may end.
    switch (Upper(text[at - 1])) {
      case 'R': Keep(text, at, "LAYER", read_.layer); break;
      case 'E':
        Keep(text, at, "TITLE", read_.title);
        Keep(text, at, "ACTIVE", read_.active);
        break;
      case 'L': Keep(text, at, "LOCAL", read_.folder); break;
    }
  }

  // The section, ending at index end of text.
  const AreaSection& Finish(std::string_view text, size_t end) {
    read_.text = text.substr(start_, end - start_);
    for (SectionEntry* entry : {&read_.layer, &read_.active, &read_.title, &read_.folder}) {
      if (entry->at == 0) continue;
      const size_t from = entry->value.data() - text.data();
      const ValueRun run = RunAt(text, from, end);
      entry->value = text.substr(from, run.length);
      if (!run.plain) read_.plain = false;
    }
    return read_;
  }

 private:
  // Keeps the entry of key whose "=" is at index eq, unless key has one already.
  void Keep(std::string_view text, size_t eq, std::string_view key, SectionEntry& entry) {
    if (entry.at != 0 || eq < start_ + key.size() || !KeyBefore(text, eq, key)) return;
    entry.at = static_cast<int>(eq - key.size() - start_) + 1;
    entry.value = text.substr(eq + 1, 0);
  }

  AreaSection read_;
  size_t start_ = 0;  // index of the header's "["
};

// VisitAreaSections, with visit called directly: one pass over text, 64 bytes at a time, that
// stops only at the bytes that matter.
template <typename Visit>
size_t WalkAreaSections(std::string_view text, bool at_end, Visit visit) {
  SectionReader reader;
  size_t header = std::string_view::npos;  // of the section being read
  for (size_t i = 0; i < text.size(); i += 64) {
    for (uint64_t stops = StopsAt(text, i); stops != 0; stops &= stops - 1) {
      const size_t at = i + std::countr_zero(stops);
      if (text[at] == '[') {
        if (!IsHeader(text, at)) continue;
        if (header != std::string_view::npos) visit(reader.Finish(text, at));
        reader.Start(text, at);
        header = at;
      } else if (header != std::string_view::npos) {
        reader.At(text, at);
      }
    }
  }
  // Without a header, only the last bytes may yet begin one.
  if (header == std::string_view::npos)
    return at_end ? text.size() : text.size() - std::min(text.size(), kHeaderLength - 1);
  if (!at_end) return header;
  visit(reader.Finish(text, text.size()));
  return text.size();
}

// Rows written straight into the caller's text: it grows ahead of them, and is cut back to
// what they hold when done.
class RowWriter {
 public:
  explicit RowWriter(Text* out) : out_(out), used_(out->size()) {}
  ~RowWriter() { out_->resize(used_); }

  void Add(const AreaSection& section) {
    const std::string_view fields[] = {section.area, section.layer.value, section.active.value,
                                       section.title.value, section.folder.value};
    if (!section.plain) {
      out_->resize(used_);
      for (size_t i = 0; i < 5; ++i) {
        AppendEscaped(fields[i], out_);
        out_->append(i < 4 ? "\t" : "\r\n");
      }
      used_ = out_->size();
      return;
    }
    // Nearly every section is plain, and its fields are copied without a look at them.
    size_t length = 6;
    for (std::string_view field : fields) length += field.size();
    if (out_->size() - used_ < length)
      out_->resize(std::max({2 * out_->size(), out_->capacity(), used_ + length}));
    char* at = out_->data() + used_;
    for (size_t i = 0; i < 5; ++i) {
      // A missing entry's value has no bytes at all, not even an address, which memcpy may not
      // be handed.
      at = std::copy(fields[i].begin(), fields[i].end(), at);
      *at++ = '\t';
    }
    at[-1] = '\r';
    *at++ = '\n';
    used_ = at - out_->data();
  }

 private:
  Text* out_;
  size_t used_;  // bytes of *out_ that hold rows
};

}  // namespace

size_t VisitAreaSections(std::string_view text, bool at_end,
                         const std::function<void(const AreaSection&)>& visit) {
  return WalkAreaSections(text, at_end, visit);
}

void AppendEscaped(std::string_view value, Text* out) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t plain = 0;  // value[plain, at) needs no escape
  for (size_t at = 0; at < value.size(); ++at) {
    const unsigned char c = value[at];
    if (!IsEscaped(c)) continue;
    out->append(value.substr(plain, at - plain));
    out->append({'%', kHex[c >> 4], kHex[c & 15]});
    plain = at + 1;
  }
  out->append(value.substr(plain));
}

size_t AppendListRows(std::string_view text, bool at_end, Text* out) {
  RowWriter rows(out);
  return WalkAreaSections(text, at_end, [&rows](const AreaSection& section) { rows.Add(section); });
}
