#include "library_list.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

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

// Sixteen bytes at once: compilers turn this into one vector instruction where the machine
// has them (SSE2 on x86-64, so both builds) and into plain byte operations elsewhere. Looking
// at each byte of the library alone took several times as long as reading it.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

// The 16 bytes of s from index i, zeros past its end.
Bytes16 Load16(std::string_view s, size_t i) {
  Bytes16 bytes = {};
  if (i + 16 <= s.size())
    std::memcpy(&bytes, s.data() + i, 16);
  else
    std::memcpy(&bytes, s.data() + i, s.size() - i);
  return bytes;
}

// One bit for each of 16 bytes that are 0 or 255, bit j for byte j.
uint32_t BitsOf(Bytes16 flags) {
  // Each flag keeps its own bit; eight such bits add up without carries, and a multiplication
  // adds the eight bytes of a word into its top byte.
  const Bytes16 weights = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
  uint64_t words[2];
  const Bytes16 bits = flags & weights;
  std::memcpy(words, &bits, sizeof words);
  const uint64_t sum = 0x0101010101010101;
  return static_cast<uint32_t>((words[0] * sum) >> 56 | ((words[1] * sum) >> 56) << 8);
}

// The bytes a field may not hold as they are.
const auto Escaped = [](Bytes16 b) { return Bytes16((b < 32) | (b == 127) | (b == '%')); };

// The bits of the bytes among the 16 of s from index i that match, none past its end.
template <typename Match>
uint32_t Matches(std::string_view s, size_t i, Match match) {
  const uint32_t bits = BitsOf(match(Load16(s, i)));
  const size_t left = s.size() - i;
  return left < 16 ? bits & ((1u << left) - 1) : bits;
}

// The index of the first byte of s at or after from that match finds, or s.size().
template <typename Match>
size_t FirstMatch(std::string_view s, size_t from, Match match) {
  for (size_t i = from; i < s.size(); i += 16) {
    if (const uint32_t bits = Matches(s, i, match)) return i + std::countr_zero(bits);
  }
  return s.size();
}

// The bytes that end a value; a lambda, so that FirstMatch takes it in.
const auto LineEnds = [](Bytes16 b) { return Bytes16((b == '\r') | (b == '\n')); };

// The section that the walk is in: its entries are kept as their "=" comes by, each with the
// value up to its line end, cut at the section's end when that comes first.
class SectionReader {
 public:
  void Start(std::string_view text, size_t header) {
    read_ = AreaSection();
    start_ = header;
    const size_t area = header + kHeaderLength;
    const size_t end =
        FirstMatch(text, area, [](Bytes16 b) { return Bytes16((b == ']') | LineEnds(b)); });
    read_.area = text.substr(area, end - area);
  }

  // A byte the walk stops at inside the section: an "=", or a byte to escape.
  void At(std::string_view text, size_t at) {
    const char c = text[at];
    if (c == '=') {
      // The letter before the "=" tells which key it may end.
      switch (Upper(text[at - 1])) {
        case 'R': Keep(text, at, "LAYER", read_.layer); break;
        case 'E':
          Keep(text, at, "TITLE", read_.title);
          Keep(text, at, "ACTIVE", read_.active);
          break;
        case 'L': Keep(text, at, "LOCAL", read_.folder); break;
      }
    } else if (c != '[') {
      read_.plain = false;
    }
  }

  // The section, ending at index end of text.
  const AreaSection& Finish(std::string_view text, size_t end) {
    read_.text = text.substr(start_, end - start_);
    const char* limit = text.data() + end;
    for (std::string_view* value : {&read_.area, &read_.layer.value, &read_.active.value,
                                    &read_.title.value, &read_.folder.value}) {
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
    entry.value = text.substr(eq + 1, FirstMatch(text, eq + 1, LineEnds) - (eq + 1));
  }

  AreaSection read_;
  size_t start_ = 0;  // index of the header's "["
};

// VisitAreaSections, with visit called directly: one pass over text that stops only at the
// bytes that matter, 16 at a time.
template <typename Visit>
size_t WalkAreaSections(std::string_view text, bool at_end, Visit visit) {
  SectionReader reader;
  size_t header = std::string_view::npos;  // of the section being read
  const auto stop = [](Bytes16 b) {
    return Bytes16((b == '[') | (b == '=') | (Escaped(b) & ~LineEnds(b)));
  };
  for (size_t i = 0; i < text.size(); i += 16) {
    for (uint32_t stops = Matches(text, i, stop); stops != 0; stops &= stops - 1) {
      const size_t at = i + std::countr_zero(stops);
      if (text[at] == '[' && KeyBefore(text, at + kHeaderLength, "[AREA.")) {
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

}  // namespace

size_t VisitAreaSections(std::string_view text, bool at_end,
                         const std::function<void(const AreaSection&)>& visit) {
  return WalkAreaSections(text, at_end, visit);
}

void AppendEscaped(std::string_view value, Text* out) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t plain = 0;  // value[plain, at) needs no escape
  for (size_t at = FirstMatch(value, 0, Escaped); at < value.size();
       at = FirstMatch(value, plain, Escaped)) {
    const unsigned char c = value[at];
    out->append(value.substr(plain, at - plain));
    out->append({'%', kHex[c >> 4], kHex[c & 15]});
    plain = at + 1;
  }
  out->append(value.substr(plain));
}

size_t AppendListRows(std::string_view text, bool at_end, Text* out) {
  return WalkAreaSections(text, at_end, [out](const AreaSection& section) {
    const std::string_view fields[] = {section.area, section.layer.value, section.active.value,
                                       section.title.value, section.folder.value};
    for (size_t i = 0; i < 5; ++i) {
      // Nearly every section is plain, and its fields are copied without a look at them.
      if (section.plain)
        out->append(fields[i]);
      else
        AppendEscaped(fields[i], out);
      out->append(i < 4 ? "\t" : "\r\n");
    }
  });
}
