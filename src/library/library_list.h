#pragma once
// The area sections of a library as LIST shows them: found in the bytes the way ADD and REMOVE
// find them, without a copy of the library, and fed in pieces so that a library of any size is
// listed in little memory.

#include <cstddef>
#include <functional>
#include <string_view>

#include "text.h"

// The first entry of one key in a section.
struct SectionEntry {
  int at = 0;              // 1-based position of the key in the section; 0 when it has none
  std::string_view value;  // from after its "=" up to a line end or the section's end
};

// One area section: from the "[" of its area header up to the next area header or the end.
struct AreaSection {
  std::string_view text;
  std::string_view area;  // the header's number as written: up to "]", a line end or the end
  SectionEntry layer, active, title, folder;  // "Layer=", "Active=", "Title=", "Local="
  bool plain = true;  // no byte of area and the four values is one that AppendEscaped escapes
};

// The heading line of LIST, CR LF included.
extern const char kListHeading[];

// Calls visit with each area section of text that ends inside it, in order; text before the
// first area header is no section. Without at_end the last section may go on beyond text and
// is held back. Returns how many leading bytes of text are done with: the caller keeps the rest
// and hands it in again, followed by more of the library.
size_t VisitAreaSections(std::string_view text, bool at_end,
                         const std::function<void(const AreaSection&)>& visit);

// Appends value to out, each byte below 32, 127 and "%" written as "%" and two upper-case hex
// digits, so that a field holds no tab or line break; "\" and every other byte stay as they are.
void AppendEscaped(std::string_view value, Text* out);

// Appends to out the LIST row of each area section that VisitAreaSections finds in text: area,
// layer, active, title and folder, escaped, tab-separated, CR LF. Returns as it does.
size_t AppendListRows(std::string_view text, bool at_end, Text* out);
