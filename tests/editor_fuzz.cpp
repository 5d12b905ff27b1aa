// Fuzzes the edit of the library text with arbitrary library bytes and product details.
// Input: one byte of flags, then the title and the folder each ended by a zero byte, then the
// library. The checks below abort on any edit that touches bytes it has no business with.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

#include "library_edit.h"

namespace {

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

// Takes the bytes up to the next zero byte (or the end) off the front of rest.
Text TakeField(Text& rest) {
  size_t end = rest.find('\0');
  Text field = rest.substr(0, end);
  rest.erase(0, end == Text::npos ? rest.size() : end + 1);
  return field;
}

// Details that cannot reach into the lines around them or open a section of their own.
bool IsPlainValue(const Text& value) {
  return value.find_first_of("\r\n[") == Text::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const uint8_t flags = data[0];
  Text rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  static const char* const kActions[] = {"ADD", "REMOVE", "add", "Remove"};
  ProductDetails details;
  details.simulator_folder = "C:\\Sim";
  details.action = kActions[flags & 3];
  details.product_title = TakeField(rest);
  details.product_folder = TakeField(rest);
  const Text& original = rest;
  const bool adding = (flags & 1) == 0;

  LibraryEdit edit = EditLibraryText(original, details, (flags & 4) != 0);
  const int64_t length = static_cast<int64_t>(original.size());

  Check(edit.area_number >= 1 && edit.layer_number >= 1, "new numbers start at 1");
  Check(edit.folder_pos >= 0 && edit.folder_pos <= length, "folder position inside the text");
  Check(edit.changed || edit.library_text == original, "an unchanged edit keeps every byte");
  Check(edit.result_text.empty() || (adding && edit.changed), "only an addition reports");
  Check(edit.caution_text.empty() || (adding && !edit.changed), "only a refused ADD cautions");
  if (!edit.changed)
    return 0;

  Check(!edit.skipped, "a skipped run changes nothing");
  if (adding) {
    Check(edit.conflict_state == ConflictState::None, "ADD only without conflict");
    Check(edit.library_text.compare(0, original.size(), original) == 0,
          "ADD keeps the text it appends to");
    Check(edit.library_text.size() > original.size(), "ADD appends");
    if (IsPlainValue(details.product_title) && IsPlainValue(details.product_folder)) {
      ProductDetails remove = details;
      remove.action = "REMOVE";
      Check(EditLibraryText(edit.library_text, remove, false).library_text ==
                original + "\r\n\r\n",
            "REMOVE takes back exactly what ADD appended, leaving the seam");
    }
    return 0;
  }

  const int64_t start = edit.section_start;
  const int64_t end = edit.section_end;
  Check(start >= 1 && start < edit.folder_pos && edit.folder_pos < end && end <= length,
        "the cut holds the folder entry and lies inside the text");
  Text expected = original.substr(0, start - 1) + "\r\n";
  if (end < length)
    expected += original.substr(end - 1);
  Check(edit.library_text == expected, "REMOVE changes nothing outside the cut");
  return 0;
}
