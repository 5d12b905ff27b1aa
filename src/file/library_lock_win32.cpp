#include <windows.h>

#include "file_ops.h"
#include "library_lock.h"
#include "lock_step_win32.h"
#include "long_path_win32.h"

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
  // The lock file goes with the library's name, not with the file at it: a replace keeps it.
  bool Holds(const FileStamp&) const override { return true; }

 private:
  HANDLE file_;
};

// Opens the lock file itself, never what a link or junction planted at its name leads to: an
// elevated run would otherwise create or lock a file of the planter's choosing. A missing one is
// created only where nothing at all is at the name: CREATE_NEW fails on a dangling link too,
// where a system that follows links (Wine) would create its target. Another run may create the
// lock file between the two calls: that is tried again.
HANDLE OpenLockFile(const Text& path, std::string* err) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const DWORD flags = FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT;
  const DWORD access = GENERIC_READ | GENERIC_WRITE;
  const std::wstring wide = LongPath(path);
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 5 && file == INVALID_HANDLE_VALUE; ++attempt) {
    file = CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    // A user who may only read the lock file still takes part: a range lock needs read access.
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
      file = CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
      file = CreateFileW(wide.c_str(), access, share, nullptr, CREATE_NEW, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    *err = "cannot open the lock file " + path + ": " + SystemError();
    return file;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(file);
    *err = "the lock file " + path + " is not a regular file";
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

}  // namespace

LockStep AfterFailedLock(DWORD error, bool time_left) {
  // Refusing every run on a file system without byte-range locks would help nobody.
  if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return LockStep::kUnlocked;
  if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) return LockStep::kFailed;
  return time_left ? LockStep::kRetry : LockStep::kTimedOut;
}

std::unique_ptr<LibraryLock> LockLibrary(const Text& library_path, std::chrono::milliseconds wait,
                                         const std::function<void()>& opened, std::string* err) {
  Text resolved;
  if (!ResolvePath(library_path, &resolved, err)) return nullptr;
  const Text lock_path = resolved + kLockSuffix;
  HANDLE file = OpenLockFile(lock_path, err);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (opened) opened();
  const ULONGLONG give_up = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
  for (;;) {
    OVERLAPPED at = {};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
      return std::make_unique<RangeLock>(file);
    switch (AfterFailedLock(GetLastError(), GetTickCount64() < give_up)) {
      case LockStep::kRetry: Sleep(20); continue;
      case LockStep::kUnlocked:
        CloseHandle(file);
        return std::make_unique<RangeLock>(INVALID_HANDLE_VALUE);
      case LockStep::kTimedOut:
        *err = "another run held " + library_path + " for longer than " +
               std::to_string(wait.count()) + " ms";
        break;
      case LockStep::kFailed: *err = "cannot lock " + lock_path + ": " + SystemError(); break;
    }
    CloseHandle(file);
    return nullptr;
  }
}
