#pragma once
// Serialises the runs of this tool on one library, across processes, users, sessions,
// elevation and machines sharing a network folder.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "file_types.h"
#include "text.h"

// Held while a run reads, edits and writes back a library; released when destroyed, and by
// the system when the process dies, so a crashed run leaves no stale lock.
class LibraryLock {
 public:
  virtual ~LibraryLock() = default;
  // False when the lock sits on a file other than the one read as stamp: another program
  // replaced the library since the lock was taken, and the lock keeps no run off the new one.
  virtual bool Holds(const FileStamp& stamp) const = 0;
};

// How long a run waits for another run's lock, and a replace for a reader holding the library.
constexpr std::chrono::milliseconds kLockWait{30000};

// Takes the exclusive lock for the library at library_path, waiting at most wait for another
// run to release it; nullptr with the reason in *err when it was not released in time or
// cannot be taken at all. Holds although the library file is replaced by rename. A lock that
// holds nothing is given only where the system says why none is needed: a file system
// without locks, or (POSIX) a library this run may not write, which it cannot change. opened,
// when given, runs once between the first open of the locked file and the first try: tests
// play another run there.
std::unique_ptr<LibraryLock> LockLibrary(const Text& library_path, std::chrono::milliseconds wait,
                                         const std::function<void()>& opened, std::string* err);
