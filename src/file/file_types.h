#pragma once
// What the file layer's services and primitives hand each other: which file a path led to, an
// open file, and the system's reason for a failure.

#include <cstdint>
#include <string>

// Which file a path led to and what state it was in: any change of content, of metadata or of
// the file itself (replaced by a rename) changes the stamp.
struct FileStamp {
  uint64_t volume = 0;  // device / volume serial number
  uint64_t index = 0;   // inode / file index
  int64_t size = 0;
  int64_t modified = 0;  // last write, in the platform's finest unit
  int64_t changed = 0;   // last change of content or metadata where the platform keeps it
  bool operator==(const FileStamp&) const = default;
};

// An open file: a descriptor on POSIX, a HANDLE on Windows; -1 when none.
struct FileHandle {
  intptr_t value = -1;
};

// What a write did: each function names which of these it gives.
enum class WriteResult {
  kWritten,           // the new content is in place
  kNameTaken,         // something was at the name already, and stays as it was
  kChangedMeanwhile,  // the file is no longer the one read, and stays as it was
  kFailed,            // nothing changed, for the reason given
};

// Whether anything is at a path, as far as the system could tell.
enum class Presence {
  kAbsent,   // "no such file", and only that
  kPresent,  // something is there
  kFailed,   // the path could not be inspected, or (CheckReplaceable) must not be replaced
};

// The system's text for the last failed call (errno / GetLastError), with its number.
std::string SystemError();
