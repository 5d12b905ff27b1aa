#include <windows.h>

#include "file_ops.h"
#include "library_lock.h"

namespace {

// Beside the library, kept for good: a lock file is what serialises runs of every user,
// session and elevation, and of several machines on a network folder, where a named kernel
// object reaches none of them. Removing it after use would race with the next run.
const char kLockSuffix[] = ".sceneryreg-lock";

class RangeLock : public LibraryLock {
 public:
  explicit RangeLock(HANDLE file) : file_(file) {}
  ~RangeLock() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);  // releases the range too
  }

 private:
  HANDLE file_;
};

HANDLE OpenLockFile(const Text& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  // A user who may only read the folder still takes part: a range lock needs read access.
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return file;
}

}  // namespace

std::unique_ptr<LibraryLock> LockLibrary(const Text& library_path,
                                         std::chrono::milliseconds wait,
                                         const std::function<void()>& opened, std::string* err) {
  Text resolved;
  ResolvePath(library_path, &resolved, err);
  HANDLE file = OpenLockFile(resolved + kLockSuffix);
  // No lock file and no right to make one: this run cannot replace the library either.
  if (file == INVALID_HANDLE_VALUE) return std::make_unique<RangeLock>(file);
  if (opened) opened();
  const ULONGLONG give_up = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
  for (;;) {
    OVERLAPPED at = {};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
      return std::make_unique<RangeLock>(file);
    DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      CloseHandle(file);
      return std::make_unique<RangeLock>(INVALID_HANDLE_VALUE);
    }
    if (GetTickCount64() >= give_up) {
      CloseHandle(file);
      *err = "another run held " + library_path + " for longer than " +
             std::to_string(wait.count()) + " ms";
      return nullptr;
    }
    Sleep(20);
  }
}
