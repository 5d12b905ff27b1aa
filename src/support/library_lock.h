#pragma once
// Serialises the runs of this tool on one library, across processes.

#include <chrono>
#include <memory>

#include "text.h"

// Held while a run reads, edits and writes back a library; released when destroyed, and by
// the system when the process dies, so a crashed run leaves no stale lock.
class LibraryLock {
 public:
  virtual ~LibraryLock() = default;
};

// Takes the exclusive lock for the library in simulator_folder, waiting at most timeout;
// nullptr on time-out. Holds although the library file is replaced by rename.
std::unique_ptr<LibraryLock> LockLibrary(const Text& simulator_folder,
                                         std::chrono::milliseconds timeout);
