// Fuzzes the library edit; input: a flag byte, title and folder each ended by a zero byte, then
// the library. Every edit that touches bytes it has no business with aborts.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "library_edit.h"
#include "library_file.h"

#define CHECK(holds, what) \
  if (!(holds)) (std::fprintf(stderr, "broken: %s\n", what), std::abort())

// The library text after edit, written out.
static Text Applied(const Text& library, const LibraryEdit& edit) {
  Text text;
  for (std::string_view piece : EditedLibrary(library, edit)) text += piece;
  return text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Text rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto take_field = [&rest] {  // the bytes up to the next zero byte, or the end
    const size_t end = rest.find('\0');
    Text field = rest.substr(0, end);
    rest.erase(0, end == Text::npos ? rest.size() : end + 1);
    return field;
  };
  static const char* const kActions[] = {"ADD", "REMOVE", "add", "Remove"};
  ProductDetails details{"C:\\Sim", kActions[data[0] & 3], "", take_field()};
  details.product_folder = take_field();
  const Text& original = rest;
  const bool adding = (data[0] & 1) == 0;
  const LibraryEdit edit = EditLibraryText(original, details, (data[0] & 4) != 0);
  const Text edited = Applied(original, edit);
  const int64_t length = static_cast<int64_t>(original.size());

  CHECK(edit.area_number >= 1 && edit.layer_number >= 1, "new numbers start at 1");
  CHECK(edit.folder_pos >= 0 && edit.folder_pos <= length, "folder position inside the text");
  CHECK(edit.changed || edited == original, "an unchanged edit keeps every byte");
  CHECK(edit.result_text.empty() || (adding && edit.changed), "only an addition reports");
  CHECK(edit.caution_text.empty() || (adding && !edit.changed), "only a refused ADD cautions");
  // The scan takes 64 bytes at once inside the text and single bytes near its ends: line ends
  // put in front move those bounds and every position, and must change nothing else.
  const Text pad(71, '\n');
  const LibraryEdit moved = EditLibraryText(pad + original, details, (data[0] & 4) != 0);
  const auto shift = [](int pos) { return pos > 0 ? pos + 71 : 0; };
  CHECK(Applied(pad + original, moved) == pad + edited && moved.outcome == edit.outcome &&
            moved.area_number == edit.area_number && moved.layer_number == edit.layer_number &&
            moved.folder_pos == shift(edit.folder_pos) && moved.title_found == edit.title_found &&
            moved.section_start == shift(edit.section_start),
        "the same edit wherever the text begins");
  const Text &title = details.product_title, &folder = details.product_folder;
  const LibraryScan whole = ScanLibrary(original, title, folder);
  CHECK(ScanLibraryInParts(original, title, folder, {original.size() / 3 + 1, 2}) == whole,
        "the walk cut into pieces finds the same");
  const LibraryScan until = ScanLibraryInParts(original, title, folder, {7, 1, true});
  CHECK(until.folder_pos == whole.folder_pos && until.section_start == whole.section_start &&
            until.section_end == whole.section_end &&
            (until.highest_area > 0) == (whole.highest_area > 0) &&
            (until.highest_layer > 0) == (whole.highest_layer > 0),
        "a walk ended at the folder entry finds its section");
  if (!edit.changed) return 0;
  CHECK(!edit.skipped, "a skipped run changes nothing");
  if (adding) {
    CHECK(edit.conflict_state == ConflictState::None, "ADD only without conflict");
    CHECK(edited.size() > original.size() && edited.compare(0, original.size(), original) == 0,
          "ADD appends to the text as it was");
    // Details that cannot reach into the lines around them or open a section of their own.
    if ((details.product_title + details.product_folder).find_first_of("\r\n[") == Text::npos) {
      ProductDetails remove = details;
      remove.action = "REMOVE";
      CHECK(Applied(edited, EditLibraryText(edited, remove, false)) == original + "\r\n\r\n",
            "REMOVE takes back exactly what ADD appended, leaving the seam");
    }
    return 0;
  }
  const int64_t start = edit.section_start, end = edit.section_end;
  CHECK(start >= 1 && start < edit.folder_pos && edit.folder_pos < end && end <= length,
        "the cut holds the folder entry and lies inside the text");
  CHECK(edited == original.substr(0, start - 1) + "\r\n" +
                      (end < length ? original.substr(end - 1) : Text()),
        "REMOVE changes nothing outside the cut");
  return 0;
}
