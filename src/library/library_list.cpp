#include "library_list.h"

const char kListHeading[] = "area\tlayer\tactive\ttitle\tfolder\r\n";

namespace {

constexpr size_t kHeaderLength = 6;  // "[Area."

unsigned char Upper(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

// True when the bytes of s that end just before index end are key (upper case) in any case.
bool KeyBefore(std::string_view s, size_t end, std::string_view key) {
  if (end < key.size() || end > s.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (Upper(s[end - key.size() + i]) != static_cast<unsigned char>(key[i])) return false;
  }
  return true;
}

// The 0-based index of the first area header in text at or after from, npos when none.
size_t FindHeader(std::string_view text, size_t from) {
  for (size_t at = text.find('[', from); at != std::string_view::npos;
       at = text.find('[', at + 1)) {
    if (KeyBefore(text, at + kHeaderLength, "[AREA.")) return at;
  }
  return std::string_view::npos;
}

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// The bytes of section from index from up to the first line end or the section's end, and
// never past stop when it comes first.
std::string_view ValueFrom(std::string_view section, size_t from, char stop = '\n') {
  size_t end = from;
  while (end < section.size() && !IsLineEnd(section[end]) && section[end] != stop) ++end;
  return section.substr(from, end - from);
}

// Keeps the entry whose "=" is at index eq of section unless its key has one already.
void Keep(SectionEntry& entry, std::string_view section, size_t eq, size_t key_length) {
  if (entry.at != 0) return;
  entry.at = static_cast<int>(eq - key_length) + 1;
  entry.value = ValueFrom(section, eq + 1);
}

AreaSection ReadSection(std::string_view section) {
  AreaSection read;
  read.text = section;
  read.area = ValueFrom(section, kHeaderLength, ']');
  // Every key ends in "=", and the letter before it tells which one it may be.
  for (size_t eq = section.find('='); eq != std::string_view::npos;
       eq = section.find('=', eq + 1)) {
    switch (eq > 0 ? Upper(section[eq - 1]) : 0) {
      case 'R':
        if (KeyBefore(section, eq, "LAYER")) Keep(read.layer, section, eq, 5);
        break;
      case 'E':
        if (KeyBefore(section, eq, "TITLE")) Keep(read.title, section, eq, 5);
        else if (KeyBefore(section, eq, "ACTIVE")) Keep(read.active, section, eq, 6);
        break;
      case 'L':
        if (KeyBefore(section, eq, "LOCAL")) Keep(read.folder, section, eq, 5);
        break;
    }
  }
  return read;
}

}  // namespace

size_t VisitAreaSections(std::string_view text, bool at_end,
                         const std::function<void(const AreaSection&)>& visit) {
  size_t header = FindHeader(text, 0);
  // Without a header, only the last bytes may yet begin one.
  if (header == std::string_view::npos)
    return at_end ? text.size() : text.size() - std::min(text.size(), kHeaderLength - 1);
  for (;;) {
    const size_t next = FindHeader(text, header + 1);
    if (next == std::string_view::npos && !at_end) return header;
    visit(ReadSection(text.substr(header, next - header)));
    if (next == std::string_view::npos) return text.size();
    header = next;
  }
}

void AppendEscaped(std::string_view value, Text* out) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t plain = 0;  // value[plain, i) needs no escape
  for (size_t i = 0; i < value.size(); ++i) {
    const unsigned char c = value[i];
    if (c >= 32 && c != 127 && c != '%') continue;
    out->append(value.substr(plain, i - plain));
    out->append({'%', kHex[c >> 4], kHex[c & 15]});
    plain = i + 1;
  }
  out->append(value.substr(plain));
}

size_t AppendListRows(std::string_view text, bool at_end, Text* out) {
  return VisitAreaSections(text, at_end, [out](const AreaSection& section) {
    for (std::string_view field : {section.area, section.layer.value, section.active.value,
                                   section.title.value}) {
      AppendEscaped(field, out);
      out->push_back('\t');
    }
    AppendEscaped(section.folder.value, out);
    out->append("\r\n");
  });
}
