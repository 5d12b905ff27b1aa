#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "library_lock.h"

namespace {

// A named mutex: nothing is written into the user's folder, and the system hands the mutex
// on as abandoned when its holder dies.
class MutexLock : public LibraryLock {
 public:
  explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
  ~MutexLock() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

// One name per folder however it is spelled: full path, one kind of separator, one letter
// case, no trailing separator. Hashed, since mutex names may not hold "\" and are limited
// in length.
Text MutexName(const Text& simulator_folder) {
  DWORD size = GetFullPathNameA(simulator_folder.c_str(), 0, nullptr, nullptr);
  Text full(size, '\0');
  DWORD length = size ? GetFullPathNameA(simulator_folder.c_str(), size, full.data(), nullptr) : 0;
  full.resize(length > 0 && length < size ? length : 0);
  if (full.empty()) full = simulator_folder;
  for (char& c : full) {
    if (c == '/') c = '\\';
  }
  while (full.size() > 1 && full.back() == '\\') full.pop_back();
  full = UpperText(full);

  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : full) hash = (hash ^ c) * 1099511628211ull;
  char name[64];
  snprintf(name, sizeof name, "Local\\sceneryreg-library-%016llx",
           static_cast<unsigned long long>(hash));
  return name;
}

}  // namespace

std::unique_ptr<LibraryLock> LockLibrary(const Text& simulator_folder,
                                         std::chrono::milliseconds timeout) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName(simulator_folder).c_str());
  if (mutex == nullptr) return nullptr;
  DWORD result = WaitForSingleObject(mutex, static_cast<DWORD>(timeout.count()));
  // An abandoned mutex is the lock of a run that died; it is ours now.
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
    return std::make_unique<MutexLock>(mutex);
  }
  CloseHandle(mutex);
  return nullptr;
}
