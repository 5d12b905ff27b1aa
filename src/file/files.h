#pragma once
// Whole-file transfers and the few other file-system and command-line services the tool uses.
// Failures keep the system's reason in *err for the caller to pass on.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "file_types.h"
#include "memory.h"
#include "text.h"

// Why ReadWholeFile failed; 2 and 3 are the numbers its message shows.
enum ReadFailure { kReadDone = 0, kCannotOpen = 2, kCannotMeasure = 3, kTooLarge = 4 };

// A file as read: the bytes, the file they came from, held open, and what that file was when
// they were read. The bytes are the file itself, mapped, where the platform can, else a copy.
struct FileContent {
  FileContent() = default;
  FileContent(const FileContent&) = delete;
  FileContent& operator=(const FileContent&) = delete;
  ~FileContent();
  FileMapping mapping;     // the file's own bytes, when mapped
  Text copy;               // the bytes read, when not mapped
  std::string_view bytes;  // whichever of the two holds them
  Text path;               // the name it was read by
  FileHandle file;  // the file read, held until the content goes unless OpenFileBlocksReplace
  FileStamp stamp;  // the file as it was read
  // False when another program cut the file short under the mapping and the run looked past
  // the cut: the bytes then hold zeros there, and nothing built from them may be saved.
  bool Intact() const { return mapping.data() == nullptr || MappingIntact(); }
};

// Reads the whole file at path into *content, byte for byte. A file of more than limit bytes,
// or one that keeps growing or never ends, is refused with kTooLarge before limit + 1 bytes are
// held.
ReadFailure ReadWholeFile(const Text& path, size_t limit, FileContent* content, std::string* err);

// kWritten while the file content was read from is still as it was then, kChangedMeanwhile
// once another program wrote to it or put another file at its name, kFailed when it cannot be
// looked at. A text read in the middle of another program's save is found out here.
WriteResult AsRead(const FileContent& content, std::string* err);

// What the user is shown when path could not be read for failure (kCannotOpen or
// kCannotMeasure): "Error opening file: <path>   Errorcode=<n>".
Text ReadFailureMessage(const Text& path, ReadFailure failure);

// What a replace must still find in place: the file as it was read.
struct ReplaceGuard {
  const FileContent& read;
  std::function<void()> last_moment;  // tests: another program saving just before the check
};

// Replaces the file at path, which must still be guard.read's file as it was read, with the
// pieces, one after another, atomically and durably, keeping what the user set on the file read
// (owner, permissions, ACLs, attributes). The owner keeps every right they had or nothing
// changes. Nothing is saved while a mapping has been cut short (MappingIntact). A file that
// changed since it was read, or was replaced, is left as it is: kChangedMeanwhile. Unless kWritten,
// the old file is byte-identical and no temporary file is left behind.
WriteResult WriteWholeFile(const Text& path, const std::vector<std::string_view>& pieces,
                           const ReplaceGuard& guard, std::string* err);

// Creates the file at path with content, atomically and durably, unless anything at all is at
// that name, a link included, which is never followed: then kNameTaken, and nothing changes. The
// file gets the owner and permissions of the file like was read from, and when it may not, stays
// private to this process. Content that lies in like's bytes is proven to be what was read: when
// like's file changed meanwhile, nothing is created (kChangedMeanwhile). Of runs racing for one
// path, exactly one creates it. written, when given, is called once the content has been handed
// to the system, before it is flushed to disk.
WriteResult WriteNewFile(const Text& path, std::string_view content, const FileContent& like,
                         std::string* err, const std::function<void()>& written = nullptr);

// Where a run's temporaries for a path lie: beside the name itself, or beside the file that a
// link at the name leads to.
enum class TemporariesBeside { kName, kLinkTarget };

// Deletes the temporaries that a dead run left beside path, whoever owns them; those of live
// runs stay.
void RemoveStaleTemporaries(const Text& path, TemporariesBeside where);

// kPresent when path names a file that can be opened for reading, kAbsent when nothing or a
// folder is there, and kFailed, with the reason in *err, when a file there cannot be opened.
Presence FileExists(const Text& path, std::string* err);

// The process's working folder as the platform reports it; empty on failure.
Text CurrentFolder();

// Makes path the working folder: 0 when done, -1 when not.
int ChangeFolder(const Text& path);

// Argument n of the argument vector; the empty text when there is no such argument.
Text CommandArgument(const std::vector<Text>& args, int n);

// The name of a temporary for the file named target_name; unique tells attempts apart.
Text TemporaryName(const Text& target_name, const Text& unique);

// True when name has the shape TemporaryName gives for target_name.
bool IsTemporaryName(const Text& target_name, const Text& name);
