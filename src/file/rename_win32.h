#pragma once
// What a temporary that is to replace a file takes of it, and how the replace goes on after a
// rename through the handle failed, on Windows: decisions of numbers alone, which the tests run
// through tables.

#include <windows.h>

// What the next try of a rename into place is.
enum class RenameStep {
  kRetry,        // the same rename again after a pause: a reader holds the target a moment
  kPlainRename,  // without POSIX semantics, which this system or file system lacks
  kGiveUp,       // the failure stands
};

// After a rename failed with error: posix, when it asked for POSIX semantics; replace, when it
// was to replace a file there; time_left, while the wait for a reader has not run out.
RenameStep AfterFailedRename(DWORD error, bool posix, bool replace, bool time_left);

// What a temporary made to replace a file is given of the file's attributes.
struct CreationAttributes {
  DWORD flags;    // CreateFileW's: FILE_ATTRIBUTE_ENCRYPTED, which only a file created so gets
  bool compress;  // to be compressed once created
};

// What a temporary keeps of a file's attributes (INVALID_FILE_ATTRIBUTES when they cannot be
// read): encryption and compression, which a rename keeps; never FILE_ATTRIBUTE_OFFLINE, which
// applications are not to set.
CreationAttributes CreationAttributesFor(DWORD attributes);
