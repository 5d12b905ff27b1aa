#include "file_lock_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>

bool TryLockFile(int fd, bool shared) {
  struct flock lock = {};
  lock.l_type = shared ? F_RDLCK : F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
  // Kernels before 3.15 know no open-file locks; flock has the same ownership locally.
  if (errno == EINVAL) return flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0;
  return false;
}
