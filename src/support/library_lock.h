#pragma once
// Serialises the runs of this tool on one library, across processes.

#include <chrono>
#include <memory>

#include "text.h"

// Held while a run reads, edits and writes back a library; released when destroyed, and by
// the system when the process dies, so a crashed run leaves no stale lock. On Windows it
// must be destroyed on the thread that took it.
class LibraryLock {
 public:
  virtual ~LibraryLock() = default;
};

// Takes the exclusive lock for the library in simulator_folder, waiting at most timeout;
// nullptr on time-out, or at once when no lock can be made for the folder. Holds
// although the library file is replaced by rename. Leaves no file in the folder.
std::unique_ptr<LibraryLock> LockLibrary(const Text& simulator_folder,
                                         std::chrono::milliseconds timeout);
