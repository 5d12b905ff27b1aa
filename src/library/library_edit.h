#pragma once
// The edit of the library text itself, without disk or console, so that every rule can be
// checked on texts alone.

#include <cstdint>
#include <string_view>
#include <vector>

#include "byte_source.h"
#include "outcome.h"
#include "product_details.h"
#include "text.h"

// What the title and folder checks found.
enum class ConflictState { None, FolderListed, TitleTaken };

// Everything one edit leaves behind; positions are 1-based, 0 for none.
struct LibraryEdit {
  // LibraryText after the edit is the library's bytes before kept_head, then inserted, then
  // its bytes from resumed_at: the library itself is never copied to be edited.
  size_t kept_head = 0;
  Text inserted;
  size_t resumed_at = 0;
  bool changed = false;  // a section was appended or cut
  Text result_text;      // the ADD report, or empty
  Text caution_text;     // the caution an ADD must show, or empty
  ConflictState conflict_state = ConflictState::None;
  bool title_found = false;  // a title entry holds the product's title
  int folder_pos = 0;        // the product's folder entry
  int section_start = 0;     // "[" of the area header before it (0: none or too long)
  int section_end = 0;       // "[" of the next area header, or the text's length
  // Highest numbers plus one; a REMOVE reads them from the library's first areas only.
  int32_t area_number = 0;
  int32_t layer_number = 0;
  bool skipped = false;             // no numbered area or no layer: nothing may be edited
  Outcome outcome = Outcome::Done;  // what the edit amounts to for the caller
};

// Runs the checks, the scans and the ADD or REMOVE edit of details over library (as read),
// backup_made telling whether the report may name the backup. Searches the text as it is, with
// no upper-cased copy; a REMOVE's search takes its copies from copies, when given.
LibraryEdit EditLibraryText(std::string_view library, const ProductDetails& details,
                            bool backup_made, const ByteSource* copies = nullptr);

// The report of the ADD that edit made for details, naming the backup when backup_made.
Text AddReport(const LibraryEdit& edit, const ProductDetails& details, bool backup_made);

// The library after edit, as the pieces to write one after another.
std::vector<std::string_view> EditedLibrary(std::string_view library, const LibraryEdit& edit);
