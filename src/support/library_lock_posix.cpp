#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

#include "library_lock.h"

namespace {

// The lock sits on the simulator folder itself: the folder outlives every rename of the
// library inside it, needs no lock file beside the user's files, and the kernel drops the
// lock with the last descriptor, also when the process is killed.
class FolderLock : public LibraryLock {
 public:
  explicit FolderLock(int fd) : fd_(fd) {}
  ~FolderLock() override { close(fd_); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<LibraryLock> LockLibrary(const Text& simulator_folder,
                                         std::chrono::milliseconds timeout) {
  int fd = open(simulator_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto give_up = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return std::make_unique<FolderLock>(fd);
    if ((errno != EWOULDBLOCK && errno != EINTR) ||
        std::chrono::steady_clock::now() >= give_up) {
      close(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}
