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

// The bits from bit n up; none when n is 64.
uint64_t BitsFrom(size_t n) { return n >= 64 ? 0 : ~uint64_t{0} << n; }

// What the walk looks for among 64 bytes, bit j for the byte j places on.
struct Block {
  uint64_t stops = 0;      // "[", "=" and the bytes to escape but line ends
  uint64_t line_ends = 0;  // CR and LF
};

// The block of the 64 bytes from p, which must all be readable.
Block BlockOf(const char* p) {
  Block block;
  for (int b = 0; b < 64; b += 16) {
    const Bytes16 v = Load16(p + b);
    const Bytes16 ends = (v == '\r') | (v == '\n');
    const Bytes16 escaped = (v < 32) | (v == 127) | (v == '%');
    block.stops |= BitsOf((v == '[') | (v == '=') | (escaped & ~ends)) << b;
    block.line_ends |= BitsOf(ends) << b;
  }
  return block;
}

// The block of the 64 bytes of text from index i; none past its end.
Block BlockAt(std::string_view text, size_t i) {
  const size_t left = text.size() - i;
  if (left >= 64) return BlockOf(text.data() + i);
  char tail[64] = {};
  std::memcpy(tail, text.data() + i, left);
  Block block = BlockOf(tail);
  block.stops &= ~BitsFrom(left);  // the zeros behind text would be bytes to escape
  return block;
}

// The section that the walk is in: its entries are kept as their "=" comes by, and each value
// stays open until the blocks show its line end, or the section ends first.
class SectionReader {
 public:
  void Start(std::string_view text, size_t header) {
    // Field by field: a whole new AreaSection copied in stalled on its own fresh stores.
    read_.layer = read_.active = read_.title = read_.folder = SectionEntry();
    read_.plain = true;
    open_count_ = 0;
    start_ = header;
    // The number is short, and it ends by the next header at the latest: a look at each byte
    // costs less here than a block.
    size_t end = header + kHeaderLength;
    while (end < text.size() && text[end] != ']' && text[end] != '\r' && text[end] != '\n' &&
           (text[end] != '[' || !IsHeader(text, end)))
      ++end;
    read_.area = text.substr(header + kHeaderLength, end - (header + kHeaderLength));
  }

  // A stop inside the section, at index at of the block from index i: an "=", or a byte to
  // escape.
  void At(std::string_view text, size_t at, const Block& block, size_t i) {
    if (text[at] != '=') {
      if (text[at] != '[') read_.plain = false;
      return;
    }
    // The letter before the "=" tells which key it may end.
    switch (Upper(text[at - 1])) {
      case 'R': Keep(text, at, "LAYER", read_.layer); break;
      case 'E':
        Keep(text, at, "TITLE", read_.title);
        Keep(text, at, "ACTIVE", read_.active);
        break;
      case 'L': Keep(text, at, "LOCAL", read_.folder); break;
      default: return;
    }
    EndValues(text, block, i);
  }

  // Ends each open value at the first line end after its start in the block from index i.
  void EndValues(std::string_view text, const Block& block, size_t i) {
    for (int k = 0; k < open_count_;) {
      std::string_view& value = *open_[k];
      const size_t from = value.data() - text.data();
      const uint64_t ends = block.line_ends & BitsFrom(from > i ? from - i : 0);
      if (ends == 0) {
        ++k;
        continue;
      }
      value = std::string_view(value.data(), i + std::countr_zero(ends) - from);
      open_[k] = open_[--open_count_];
    }
  }

  // The section, ending at index end of text.
  const AreaSection& Finish(std::string_view text, size_t end) {
    read_.text = text.substr(start_, end - start_);
    const char* limit = text.data() + end;
    for (int k = 0; k < open_count_; ++k)
      *open_[k] = std::string_view(open_[k]->data(), limit - open_[k]->data());
    open_count_ = 0;
    for (std::string_view* value :
         {&read_.layer.value, &read_.active.value, &read_.title.value, &read_.folder.value}) {
      if (value->data() + value->size() > limit)
        *value = std::string_view(value->data(), limit - value->data());
    }
    return read_;
  }

 private:
  // Keeps the entry of key whose "=" is at index eq, unless key has one already.
  void Keep(std::string_view text, size_t eq, std::string_view key, SectionEntry& entry) {
    if (entry.at != 0 || eq < start_ + key.size() || !KeyBefore(text, eq, key)) return;
    entry.at = static_cast<int>(eq - key.size() - start_) + 1;
    entry.value = text.substr(eq + 1, 0);
    open_[open_count_++] = &entry.value;
  }

  AreaSection read_;
  size_t start_ = 0;                // index of the header's "["
  std::string_view* open_[4] = {};  // the values whose line end is still to come
  int open_count_ = 0;
};

// VisitAreaSections, with visit called directly: one pass over text, 64 bytes at a time, that
// stops only at the bytes that matter.
template <typename Visit>
size_t WalkAreaSections(std::string_view text, bool at_end, Visit visit) {
  SectionReader reader;
  size_t header = std::string_view::npos;  // of the section being read
  for (size_t i = 0; i < text.size(); i += 64) {
    const Block block = BlockAt(text, i);
    if (header != std::string_view::npos) reader.EndValues(text, block, i);
    for (uint64_t stops = block.stops; stops != 0; stops &= stops - 1) {
      const size_t at = i + std::countr_zero(stops);
      if (text[at] == '[' && IsHeader(text, at)) {
        if (header != std::string_view::npos) visit(reader.Finish(text, at));
        reader.Start(text, at);
        header = at;
      } else if (header != std::string_view::npos) {
        reader.At(text, at, block, i);
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
