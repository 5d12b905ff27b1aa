#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "file_lock_posix.h"
#include "file_ops.h"
#include "library_lock.h"

namespace {

// The lock sits on the library file itself, opened for writing: that is what a lock on a
// network file system needs, every user who may change the library may open it so, and no
// lock file is left beside the user's files.
class FileLock : public LibraryLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override {
    if (fd_ >= 0) close(fd_);
  }
  bool Holds(const FileStamp& stamp) const override {
    struct stat held;
    return fd_ < 0 ||
           (fstat(fd_, &held) == 0 && static_cast<uint64_t>(held.st_dev) == stamp.volume &&
            static_cast<uint64_t>(held.st_ino) == stamp.index);
  }

 private:
  int fd_;
};

bool SameFile(int fd, const Text& path) {
  struct stat held, named;
  return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

std::unique_ptr<LibraryLock> LockLibrary(const Text& library_path, std::chrono::milliseconds wait,
                                         const std::function<void()>& opened, std::string* err) {
  const auto give_up = std::chrono::steady_clock::now() + wait;
  for (bool first = true;; first = false) {
    int fd = open(library_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    // A library this run may not write is one it cannot replace either (the write-back checks
    // again); any other failure leaves the run without a lock, so it changes nothing.
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
      return std::make_unique<FileLock>(-1);
    if (fd < 0) {
      *err = "cannot lock " + library_path + ": " + SystemError();
      return nullptr;
    }
    if (first && opened) opened();
    // A run that replaced the library released the lock on the file it replaced: the lock
    // counts only while the name still leads to the locked file.
    if (TryLockFile(fd, false)) {
      if (SameFile(fd, library_path)) return std::make_unique<FileLock>(fd);
      close(fd);
      continue;
    }
    int error = errno;
    close(fd);
    // A file system without locks cannot serialise runs; refusing every run there would help
    // nobody. Any other failure is no reason to go on unlocked.
    if (error == ENOLCK || error == ENOTSUP || error == EOPNOTSUPP)
      return std::make_unique<FileLock>(-1);
    if (error != EAGAIN && error != EACCES && error != EINTR && error != EWOULDBLOCK) {
      errno = error;
      *err = "cannot lock " + library_path + ": " + SystemError();
      return nullptr;
    }
    if (std::chrono::steady_clock::now() >= give_up) {
      *err = "another run held " + library_path + " for longer than " +
             std::to_string(wait.count()) + " ms";
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}
