#pragma once
// How a run goes on after LockFileEx refused the lock file's range on Windows: a decision of
// numbers alone, which the tests run through a table.

#include <windows.h>

// What follows a refused lock.
enum class LockStep {
  kRetry,     // another run holds it: try again after a pause
  kUnlocked,  // the file system has no range locks, so nothing serialises runs there: go on
  kTimedOut,  // another run held it for longer than the wait
  kFailed,    // the failure stands
};

// After LockFileEx failed with error; time_left while the wait for another run has not run out.
LockStep AfterFailedLock(DWORD error, bool time_left);
