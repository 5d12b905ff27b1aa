#include "files.h"

#include <algorithm>

#include "file_ops.h"
#include "memory.h"

namespace {

// Between the target's name and the unique part, so leftovers can be told from user files.
const char kTemporaryInfix[] = ".sceneryreg-";
const char kTemporarySuffix[] = ".tmp";

// Room left behind a read's content, so that appending an area section to a large library
// does not move the whole text to a new buffer.
constexpr size_t kReadSlack = 65536;

ReadFailure ReadOpenFile(FileHandle file, size_t limit, Text* content, std::string* err) {
  int64_t length = 0;
  if (!MeasureFile(file, &length, err)) return kCannotMeasure;
  if (length < 0 || static_cast<uint64_t>(length) > limit) {
    *err = "the file holds more than " + std::to_string(limit) + " bytes";
    return kTooLarge;
  }
  // Filled in place, not through a bounce buffer: a library can be hundreds of MB.
  content->clear();
  content->reserve(static_cast<size_t>(length) + kReadSlack);
  BackWithHugePages(content->data(), content->capacity());
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
  return kReadDone;
}

// One write: the content goes to a temporary beside the target, which is flushed, given the
// target's metadata and renamed into its place, so the target is at every moment either the
// old file or the whole new one.
bool PlaceFile(const Text& path, const Text& content, bool replace, bool* existed,
               std::string* err) {
  const Text target = ResolvePath(path);
  bool exists = false;
  if (!CheckReplaceable(target, &exists, err)) return false;
  if (exists && !replace) {
    *existed = true;
    return true;
  }
  Text temporary;
  FileHandle file;
  if (!CreateTemporary(target, exists, &temporary, &file, err)) return false;
  bool ok = WriteAll(file, content.data(), content.size(), err) && FlushFile(file, err) &&
            (!exists || CopyMetadata(target, file, temporary, err)) &&
            MoveIntoPlace(file, temporary, target, replace, existed, err);
  if (!ok || *existed) {
    DiscardTemporary(&file, temporary);
    return ok;
  }
  CloseFile(&file);
  SyncFolder(target);
  return true;
}

}  // namespace

ReadFailure ReadWholeFile(const Text& path, bool quiet, Terminal& terminal, size_t limit,
                          Text* content, std::string* err) {
  FileHandle file;
  ReadFailure failure = OpenForReading(path, &file, err) ? ReadOpenFile(file, limit, content, err)
                                                         : kCannotOpen;
  CloseFile(&file);
  if (failure != kReadDone) {
    content->clear();
    if (!quiet && failure != kTooLarge) {
      ShowMessage(terminal, "Error opening file: " + path + "   Errorcode=" +
                                NumberToText(failure));
    }
  }
  return failure;
}

bool WriteWholeFile(const Text& path, const Text& content, std::string* err) {
  bool existed = false;
  return PlaceFile(path, content, true, &existed, err);
}

bool WriteNewFile(const Text& path, const Text& content, bool* created, std::string* err) {
  bool existed = false;
  *created = false;
  if (!PlaceFile(path, content, false, &existed, err)) return false;
  *created = !existed;
  return true;
}

void RemoveStaleTemporaries(const Text& path) {
  const Text target = ResolvePath(path);
  const Text folder = FolderOf(target);
  const Text name = target.substr(folder.size());
  for (const Text& entry : ListFolder(folder)) {
    if (IsTemporaryName(name, entry)) RemoveUnlessHeld(folder + entry);
  }
}

bool FileExists(const Text& path) {
  FileHandle file;
  std::string ignored;
  bool opened = OpenForReading(path, &file, &ignored);
  CloseFile(&file);
  return opened;
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
