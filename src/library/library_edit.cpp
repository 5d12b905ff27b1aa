#include "library_edit.h"

#include <algorithm>

#include "library_file.h"

// A section longer than this plus the product's own title and folder is taken for a damaged
// library rather than one registration, and is not cut.
static const int64_t kSectionGuard = 300;

static bool IsAction(const Text& action, const char* word) {
  return SameText(UpperText(action), word);
}

static Text TitleCaution(const Text& title) {
  return Text("Adding your Product to your FS scenery Library:\r\n\r\n") + "\r\n\r\n" +
         "Caution another product found using the same name: " + "\r\n\r\n" + "'" + title + "'" +
         "\r\n\r\n" + "But it is using another directory location" + "\r\n" +
         "Your scenery library has not been changed, because of this." + "\r\n";
}

static Text FolderCaution(const Text& folder) {
  return Text("Adding your Product to your FS scenery Library:\r\n\r\n") + "\r\n\r\n" +
         "Caution another product found using the same product location: " + "\r\n\r\n" + "'" +
         folder + "'" + "\r\n\r\n" + "Your scenery library has not been changed, because of this." +
         "\r\n";
}

Text AddReport(const LibraryEdit& edit, const ProductDetails& details, bool backup_made) {
  Text report = "Scenery AREA added:\r\n\r\nAREA=" + NumberToText(edit.area_number) + "\r\n" +
                "Title=" + details.product_title + "\r\n" + "localv=" + details.product_folder +
                "\r\n" + "Active=TRUE\r\n" + "Layer=" + NumberToText(edit.layer_number) +
                "\r\n\r\n" + "If you wish to move this Layer, please use the FS scenery library";
  if (backup_made)
    report += "\n\r\n\rBackup made of 'scenery.cfg' at " + BackupPath(details.product_folder);
  return report + "\r\n\r\nPRESS ANY KEY";
}

// The conflict checks, over the one scan of the library as read: the searches ignore case
// themselves, so the edit holds one copy of the library and no more.
static void CheckLibrary(std::string_view library, const ProductDetails& details,
                         const ByteSource* copies, LibraryEdit& edit) {
  // REMOVE needs no more than the folder entry's section: the walk may end there.
  const LibraryScan scan = ScanLibrary(library, details.product_title, details.product_folder,
                                       IsAction(details.action, "REMOVE"), copies);
  edit.area_number = scan.highest_area;
  edit.layer_number = scan.highest_layer;

  const bool adding = IsAction(details.action, "ADD");
  edit.title_found = scan.title_pos > 0;
  edit.folder_pos = scan.folder_pos;
  if (edit.folder_pos > 0) {
    edit.conflict_state = ConflictState::FolderListed;
    if (!edit.title_found && adding) edit.caution_text = FolderCaution(details.product_folder);
  } else if (edit.title_found) {
    edit.conflict_state = ConflictState::TitleTaken;
    if (adding) edit.caution_text = TitleCaution(details.product_title);
  }

  // The section that holds the folder entry runs from the last area header before it to the
  // first one after it, unless that is too long for one registration.
  const int64_t guard =
      kSectionGuard + TextLength(details.product_title) + TextLength(details.product_folder);
  if (int64_t{scan.section_end} - scan.section_start <= guard) {
    edit.section_start = scan.section_start;
    edit.section_end = scan.section_end;
  }
}

// Where the product stands in the library decides first; whether the library could be edited
// at all only when the product's own entries did not.
static Outcome EditOutcome(const LibraryEdit& edit, const ProductDetails& details) {
  if (edit.changed) return Outcome::Done;
  if (IsAction(details.action, "ADD")) {
    if (edit.conflict_state == ConflictState::TitleTaken) return Outcome::TitleTaken;
    if (edit.conflict_state == ConflictState::FolderListed)
      return edit.title_found ? Outcome::AlreadyRegistered : Outcome::FolderTaken;
    return Outcome::NotEditable;
  }
  if (IsAction(details.action, "REMOVE"))
    return edit.folder_pos == 0 ? Outcome::NothingToRemove : Outcome::NotEditable;
  return Outcome::BadArguments;
}

LibraryEdit EditLibraryText(std::string_view library, const ProductDetails& details,
                            bool backup_made, const ByteSource* copies) {
  LibraryEdit edit;
  CheckLibrary(library, details, copies, edit);
  edit.kept_head = library.size();
  edit.resumed_at = library.size();

  edit.skipped = edit.area_number == 0 || edit.layer_number == 0;
  // NumberAfter reads at most 8 characters, so neither maximum can exceed 2147480000
  // ("214748e4") and the increments cannot overflow.
  edit.area_number += 1;
  edit.layer_number += 1;

  if (!edit.skipped && IsAction(details.action, "ADD") &&
      edit.conflict_state == ConflictState::None) {
    edit.inserted = AreaSectionText(edit.area_number, edit.layer_number, details.product_title,
                                    details.product_folder);
    edit.result_text = AddReport(edit, details, backup_made);
    edit.changed = true;
  }
  // The cut runs from the "[" of the section's header up to the next header, or to the end;
  // one CR LF takes its place.
  if (!edit.skipped && IsAction(details.action, "REMOVE") && edit.folder_pos > 0 &&
      edit.section_start > 0 && edit.section_end > 0) {
    edit.kept_head = edit.section_start - 1;
    edit.inserted = "\r\n";
    if (edit.section_end < TextLength(library)) edit.resumed_at = edit.section_end - 1;
    edit.changed = true;
  }
  edit.outcome = EditOutcome(edit, details);
  return edit;
}

std::vector<std::string_view> EditedLibrary(std::string_view library, const LibraryEdit& edit) {
  return {library.substr(0, edit.kept_head), edit.inserted, library.substr(edit.resumed_at)};
}
