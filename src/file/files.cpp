#include "files.h"

#include <algorithm>

#include "file_metadata.h"
#include "file_ops.h"

namespace {

// Between the target's name and the unique part, so leftovers can be told from user files.
const char kTemporaryInfix[] = ".sceneryreg-";
const char kTemporarySuffix[] = ".tmp";

// How far a read goes past the measured length at a time when the file turns out longer.
constexpr size_t kReadSlack = 65536;

ReadFailure ReadOpenFile(FileHandle file, size_t limit, FileContent* read, std::string* err) {
  // Taken before the bytes: a write that lands while they are read changes what is in place.
  if (!StampOfFile(file, &read->stamp, err)) return kCannotMeasure;
  int64_t length = 0;
  if (!MeasureFile(file, &length, err)) return kCannotMeasure;
  if (length < 0 || static_cast<uint64_t>(length) > limit) {
    *err = "the file holds more than " + std::to_string(limit) + " bytes";
    return kTooLarge;
  }
  // Bytes that grow into the file after it was measured are left out of a mapping: they change
  // the stamp, which is what a replace checks.
  if (read->mapping.Map(file.value, static_cast<size_t>(length))) {
    read->bytes = std::string_view(read->mapping.data(), read->mapping.size());
    return kReadDone;
  }
  // Filled in place, not through a bounce buffer: a library can be hundreds of MB.
  Text* content = &read->copy;
  content->clear();
  content->resize(static_cast<size_t>(length));
  size_t filled = 0;
  for (;;) {
    if (filled == content->size()) {
      // It grew since it was measured, or it is a device: read on, but never past limit.
      if (filled > limit) {
        *err = "the file grew past " + std::to_string(limit) + " bytes while being read";
        content->clear();
        content->shrink_to_fit();
        return kTooLarge;
      }
      content->resize(std::min(filled + kReadSlack, limit + 1));
    }
    size_t got = 0;
    if (!ReadSome(file, content->data() + filled, content->size() - filled, &got, err))
      return kCannotOpen;
    if (got == 0) break;
    filled += got;
  }
  content->resize(filled);
  read->bytes = *content;
  return kReadDone;
}

// The file content was read from, for its metadata: the one held since, or where none is held,
// the file at its name, opened again into *again, when it is still the one read.
WriteResult OpenAsRead(const FileContent& content, FileHandle* again, std::string* err) {
  if (content.file.value != -1) return WriteResult::kWritten;
  FileStamp now;
  if (!OpenForReading(content.path, again, err) || !StampOfFile(*again, &now, err))
    return WriteResult::kFailed;
  if (now.volume == content.stamp.volume && now.index == content.stamp.index)
    return WriteResult::kWritten;
  *err = content.path + " was replaced by another program since it was read";
  return WriteResult::kChangedMeanwhile;
}

// How PlaceFile puts a file in place.
struct Placement {
  bool replace;                        // over a file that is there, else only where none is
  const FileContent& like;             // the file read, whose metadata the file gets
  const ReplaceGuard* guard;           // what must still be in place, when given
  std::function<void()> written = {};  // told once the pieces are handed to the system
};

// One write: the pieces go to a temporary beside the target, which is flushed, given the
// metadata of the file how.like was read from and renamed into its place, so the target is at
// every moment either the old file or the whole new one.
WriteResult PlaceFile(const Text& target, const std::vector<std::string_view>& pieces,
                      const Placement& how, std::string* err) {
  const FileContent& like = how.like;
  Text temporary;
  FileHandle file;
  if (!CreateTemporary(target, like.path, &temporary, &file, err)) return WriteResult::kFailed;
  bool ok = true;
  for (std::string_view piece : pieces) {
    const size_t copied = ok ? CopyFromMapping(file.value, piece.data(), piece.size()) : 0;
    ok = ok && WriteAll(file, piece.data() + copied, piece.size() - copied, err);
  }
  if (how.written) how.written();
  if (ok && !MappingIntact()) {
    *err = "the file the content was read from was cut short by another program meanwhile";
    ok = false;
  }
  ok = ok && FlushFile(file, err);
  WriteResult result = ok ? WriteResult::kWritten : WriteResult::kFailed;
  FileHandle again;
  if (ok) {
    // A new file whose metadata cannot be copied stays private: never more open than like.
    std::string refused;
    std::string* why = how.replace ? err : &refused;
    const WriteResult found = OpenAsRead(like, &again, why);
    const FileHandle from = again.value != -1 ? again : like.file;
    const bool copied =
        found == WriteResult::kWritten && CopyMetadata(from, like.path, file, temporary, why);
    if (!copied && how.replace)
      result = found == WriteResult::kWritten ? WriteResult::kFailed : found;
  }
  CloseFile(&again);
  // The bytes came from the file read, in place or through the system, or were read from a
  // file in the middle of another program's save: only a file unchanged since proves them.
  // A write that failed because the file shrank under the mapping fails for that reason.
  std::string changed;
  if (AsRead(like, &changed) == WriteResult::kChangedMeanwhile) {
    *err = changed;
    result = WriteResult::kChangedMeanwhile;
  }
  if (result == WriteResult::kWritten && how.guard) {
    if (how.guard->last_moment) how.guard->last_moment();
    // Through the name it was read by: a link there swapped to another file since the write
    // began makes target a file that is no longer the library.
    FileStamp now;
    if (!StampAtPath(like.path, &now, err)) {
      result = WriteResult::kFailed;
    } else if (now != like.stamp) {
      *err = target + " was changed by another program since it was read";
      result = WriteResult::kChangedMeanwhile;
    }
  }
  if (result == WriteResult::kWritten)
    result = MoveIntoPlace(file, temporary, target, how.replace, err);
  if (result != WriteResult::kWritten) {
    DiscardTemporary(&file, temporary);
    return result;
  }
  CloseFile(&file);
  SyncFolder(target);
  return result;
}

}  // namespace

bool Fail(std::string* err, const Text& what) {
  *err = what + ": " + SystemError();
  return false;
}

FileContent::~FileContent() { CloseFile(&file); }

ReadFailure ReadWholeFile(const Text& path, size_t limit, FileContent* content, std::string* err) {
  CloseFile(&content->file);
  content->path = path;
  ReadFailure failure = OpenForReading(path, &content->file, err)
                            ? ReadOpenFile(content->file, limit, content, err)
                            : kCannotOpen;
  if (failure != kReadDone || OpenFileBlocksReplace()) CloseFile(&content->file);
  if (failure != kReadDone) {
    content->copy.clear();
    content->bytes = std::string_view();
  }
  return failure;
}

// Where the file was let go once read, it is opened again at its name: a view of it keeps it
// from being replaced or cut there, and a copy's file that was replaced shows another identity.
WriteResult AsRead(const FileContent& content, std::string* err) {
  FileHandle again;
  FileStamp now;
  const bool measured = content.file.value != -1 ? StampOfFile(content.file, &now, err)
                                                 : OpenForReading(content.path, &again, err) &&
                                                       StampOfFile(again, &now, err);
  CloseFile(&again);
  if (!measured) return WriteResult::kFailed;
  if (now == content.stamp) return WriteResult::kWritten;
  *err = content.path + " was changed by another program since it was read";
  return WriteResult::kChangedMeanwhile;
}

Text ReadFailureMessage(const Text& path, ReadFailure failure) {
  return "Error opening file: " + path + "   Errorcode=" + NumberToText(failure);
}

WriteResult WriteWholeFile(const Text& path, const std::vector<std::string_view>& pieces,
                           const ReplaceGuard& guard, std::string* err) {
  Text target;
  if (!ResolvePath(path, &target, err)) return WriteResult::kFailed;
  const Presence present = CheckReplaceable(target, err);
  if (present == Presence::kFailed) return WriteResult::kFailed;
  if (present == Presence::kAbsent) {
    Fail(err, "cannot inspect " + target);
    return WriteResult::kFailed;
  }
  return PlaceFile(target, pieces, {true, guard.read, &guard}, err);
}

WriteResult WriteNewFile(const Text& path, std::string_view content, const FileContent& like,
                         std::string* err, const std::function<void()>& written) {
  // The name itself, never what a link there leads to: a link planted in a folder that another
  // user controls must not carry this run's write elsewhere.
  const Presence present = NameTaken(path, err);
  if (present != Presence::kAbsent)
    return present == Presence::kPresent ? WriteResult::kNameTaken : WriteResult::kFailed;
  return PlaceFile(path, {content}, {false, like, nullptr, written}, err);
}

void RemoveStaleTemporaries(const Text& path, TemporariesBeside where) {
  // Only where this run writes: a link planted at a name that is written as itself must not
  // lead the cleanup into a folder of the planter's choosing.
  Text target = path;
  std::string ignored;
  if (where == TemporariesBeside::kLinkTarget && !ResolvePath(path, &target, &ignored)) return;
  const Text folder = FolderOf(target);
  const Text name = target.substr(folder.size());
  const size_t prefix = name.size() + sizeof kTemporaryInfix - 1;
  for (const Text& entry : ListFolder(folder)) {
    if (!IsTemporaryName(name, entry)) continue;
    const size_t unique = entry.size() - prefix - (sizeof kTemporarySuffix - 1);
    RemoveUnlessHeld(folder + entry, entry.substr(prefix, unique));
  }
}

Presence FileExists(const Text& path, std::string* err) {
  FileHandle file;
  if (OpenForReading(path, &file, err)) {
    CloseFile(&file);
    return Presence::kPresent;
  }
  return NoFileAt(path) ? Presence::kAbsent : Presence::kFailed;
}

Text TemporaryName(const Text& target_name, const Text& unique) {
  return target_name + kTemporaryInfix + unique + kTemporarySuffix;
}

bool IsTemporaryName(const Text& target_name, const Text& name) {
  Text prefix = target_name + kTemporaryInfix;
  Text suffix = kTemporarySuffix;
  // The unique part is never empty, so a bare "<name>.sceneryreg-.tmp" is somebody else's.
  return name.size() > prefix.size() + suffix.size() &&
         name.compare(0, prefix.size(), prefix) == 0 &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

Text CommandArgument(const std::vector<Text>& args, int n) {
  if (n < 0 || n >= static_cast<int>(args.size())) return Text();
  return args[n];
}
