#include "inspect.h"

#include <cstring>
#include <utility>

#include "file_ops.h"
#include "files.h"
#include "folder_probe.h"
#include "library_check.h"
#include "library_diff.h"
#include "library_edit.h"
#include "library_file.h"
#include "library_list.h"

const char kDiffOldName[] = "a/scenery.cfg";
const char kDiffNewName[] = "b/scenery.cfg";

namespace {

// Bytes read at a time by LIST, and printed at a time by CHECK.
constexpr size_t kPiece = size_t{1} << 18;

bool IsUtf16(std::string_view start) {
  return start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF");
}

Text TooLarge(const Text& path) {
  return path + " holds more than " + std::to_string(kLibrarySizeLimit) + " bytes";
}

Outcome ListOpenFile(FileHandle file, const Text& path, Terminal& out, std::string* err) {
  int64_t length = 0;
  if (!IsDiskFile(file, path, err) || !MeasureFile(file, &length, err))
    return Outcome::LibraryNotSaved;
  if (static_cast<uint64_t>(length) > kLibrarySizeLimit) {
    *err = TooLarge(path);
    return Outcome::LibraryNotSaved;
  }
  // The bytes of an area section not yet listed stay at the front, and the next read goes
  // behind them; the buffer grows only for a section longer than itself.
  Text buffer(kPiece, '\0');
  Text rows;
  size_t kept = 0, total = 0;
  for (bool first = true;; first = false) {
    if (kept == buffer.size()) buffer.resize(buffer.size() * 2);
    size_t got = 0;
    if (!ReadSome(file, buffer.data() + kept, buffer.size() - kept, &got, err))
      return Outcome::LibraryNotSaved;
    total += got;
    if (total > kLibrarySizeLimit) {  // it grew while being read
      *err = TooLarge(path);
      return Outcome::LibraryNotSaved;
    }
    const std::string_view text(buffer.data(), kept + got);
    if (first && IsUtf16(text)) {
      *err = path +
             " is UTF-16 text (it begins with a byte-order mark), which this tool does "
             "not read";
      return Outcome::LibraryNotSaved;
    }
    // Another program cut the file short while it was read: what is left is no whole library.
    if (got == 0 && total < static_cast<uint64_t>(length)) {
      *err = path + " was cut short by another program while it was read";
      return Outcome::LibraryNotSaved;
    }
    if (first) out.Print(kListHeading);
    rows.clear();
    const size_t used = AppendListRows(text, got == 0, &rows);
    if (!rows.empty()) out.Print(rows);
    if (got == 0) return Outcome::Done;
    kept = text.size() - used;
    std::memmove(buffer.data(), buffer.data() + used, kept);
  }
}

}  // namespace

Outcome ListSceneryLibrary(const Text& simulator_folder, Terminal& out, std::string* err) {
  const Text path = LibraryPath(simulator_folder);
  FileHandle file;
  if (!OpenForReading(path, &file, err))
    return NoFileAt(path) ? Outcome::LibraryNotFound : Outcome::LibraryNotSaved;
  const Outcome outcome = ListOpenFile(file, path, out, err);
  CloseFile(&file);
  return outcome;
}

Outcome CheckSceneryLibrary(const Text& simulator_folder, Terminal& out, std::string* err) {
  const Text path = LibraryPath(simulator_folder);
  const Presence present = FileExists(path, err);
  if (present != Presence::kPresent)
    return present == Presence::kAbsent ? Outcome::LibraryNotFound : Outcome::LibraryNotSaved;
  FileContent library;
  if (ReadWholeFile(path, kLibrarySizeLimit, &library, err) != kReadDone)
    return Outcome::LibraryNotSaved;
  Text lines;
  FolderProbe folders(simulator_folder);
  const CheckCount count = CheckLibraryText(
      library.bytes, [&](std::string_view folder) { return folders.EntryExists(folder); },
      [&](const Finding& finding) {
        lines += FindingLine(finding);
        if (lines.size() >= kPiece) out.Print(std::exchange(lines, Text()));
      });
  if (!library.Intact()) {
    *err = path + " was cut short by another program while it was read";
    return Outcome::LibraryNotSaved;
  }
  out.Print(lines + CheckSummaryLine(count));
  return count.findings == 0 ? Outcome::Done : Outcome::Findings;
}

DryRun DryRunEdit(const ProductDetails& details, Terminal& console, std::string* err) {
  const Text path = LibraryPath(details.simulator_folder);
  FileContent library;
  const ReadFailure read = ReadWholeFile(path, kLibrarySizeLimit, &library, err);
  if (read == kTooLarge) return {{kTooLargeText, Outcome::LibraryNotSaved}, Text()};
  if (read != kReadDone) {
    ShowMessage(console, ReadFailureMessage(path, read));
    return {{Text(), Outcome::LibraryNotSaved}, Text()};
  }
  if (AddMayPassLimit(details, library.bytes.size(), kLibrarySizeLimit)) {
    *err =
        "adding to " + path + " would take it past " + std::to_string(kLibrarySizeLimit) + " bytes";
    return {{kTooLargeText, Outcome::LibraryNotSaved}, Text()};
  }
  // A run makes the backup when its folder is there and nothing is at its name yet.
  const Text backup = BackupPath(details.product_folder);
  std::string ignored;
  const bool backup_made = IsFolder(details.product_folder + kPathSeparator) &&
                           NameTaken(backup, &ignored) == Presence::kAbsent;
  const LibraryEdit edit = EditLibraryText(library.bytes, details, backup_made);
  if (!library.Intact()) {
    *err = path + " was cut short by another program while it was read";
    return {{kSaveFailureText, Outcome::LibraryNotSaved}, Text()};
  }
  if (!edit.caution_text.empty()) ShowMessage(console, edit.caution_text);
  DryRun dry{{edit.result_text, edit.outcome}, Text()};
  if (edit.changed) {
    dry.diff = UnifiedDiff(library.bytes, edit.kept_head, edit.resumed_at, edit.inserted,
                           kDiffOldName, kDiffNewName);
  }
  return dry;
}
