#pragma once
// How the replace of a file by its temporary goes on after a rename through the handle failed
// on Windows: a decision of numbers alone, which the tests run through a table.

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
