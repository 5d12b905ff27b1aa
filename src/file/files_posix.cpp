#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "file_lock_posix.h"
#include "file_ops.h"
#include "files.h"

namespace {

int Fd(FileHandle file) { return static_cast<int>(file.value); }

}  // namespace

std::string SystemError() {
  int number = errno;
  return std::string(strerror(number)) + " (errno " + std::to_string(number) + ")";
}

bool ResolvePath(const Text& path, Text* resolved, std::string* err) {
  // Replacing the file a symbolic link points to keeps the user's link.
  *resolved = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(resolved->c_str(), &st) != 0) {
      return errno == ENOENT || Fail(err, "cannot inspect " + *resolved);
    }
    if (!S_ISLNK(st.st_mode)) return true;
    Text target(st.st_size > 0 ? st.st_size : 4096, '\0');
    ssize_t n = readlink(resolved->c_str(), target.data(), target.size());
    if (n <= 0) return Fail(err, "cannot read the link " + *resolved);
    target.resize(n);
    *resolved = target[0] == '/' ? target : FolderOf(*resolved) + target;
  }
  errno = ELOOP;
  return Fail(err, "cannot follow " + path);
}

Text FolderOf(const Text& path) {
  size_t slash = path.rfind('/');
  return slash == Text::npos ? Text() : path.substr(0, slash + 1);
}

bool OpenForReading(const Text& path, FileHandle* file, std::string* err) {
  // Non-blocking, so that a FIFO at path cannot stall the run; it has no length and fails later.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(err, "cannot open " + path);
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    errno = EISDIR;
    return Fail(err, "cannot open " + path);
  }
  file->value = fd;
  return true;
}

bool NoFileAt(const Text& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  return S_ISDIR(st.st_mode);
}

namespace {

FileStamp StampOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
          static_cast<int64_t>(st.st_size), st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
          st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
}

}  // namespace

bool OpenFileBlocksReplace() { return false; }

bool StampOfFile(FileHandle file, FileStamp* stamp, std::string* err) {
  struct stat st;
  if (fstat(Fd(file), &st) != 0) return Fail(err, "cannot inspect the file");
  *stamp = StampOf(st);
  return true;
}

bool StampAtPath(const Text& path, FileStamp* stamp, std::string* err) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return Fail(err, "cannot inspect " + path);
  *stamp = StampOf(st);
  return true;
}

bool IsDiskFile(FileHandle file, const Text& path, std::string* err) {
  struct stat st;
  if (fstat(Fd(file), &st) != 0) return Fail(err, "cannot inspect " + path);
  if (!S_ISREG(st.st_mode)) *err = path + " is not a regular file";
  return S_ISREG(st.st_mode);
}

bool MeasureFile(FileHandle file, int64_t* length, std::string* err) {
  off_t end = lseek(Fd(file), 0, SEEK_END);
  if (end < 0 || lseek(Fd(file), 0, SEEK_SET) != 0) return Fail(err, "cannot measure the file");
  *length = end;
  return true;
}

bool ReadSome(FileHandle file, char* data, size_t size, size_t* got, std::string* err) {
  for (;;) {
    ssize_t n = read(Fd(file), data, size);
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return true;
    }
    if (errno != EINTR) return Fail(err, "cannot read the file");
  }
}

void CloseFile(FileHandle* file) {
  if (file->value >= 0) close(Fd(*file));
  file->value = -1;
}

namespace {

// kAbsent only for "no such file": one that could not be inspected is no new file, and
// replacing it as one would drop its owner, permissions and ACL.
Presence Inspected(const Text& path, int result, std::string* err) {
  if (result == 0) return Presence::kPresent;
  if (errno == ENOENT) return Presence::kAbsent;
  Fail(err, "cannot inspect " + path);
  return Presence::kFailed;
}

}  // namespace

Presence CheckReplaceable(const Text& target, std::string* err) {
  struct stat st;
  const Presence present = Inspected(target, stat(target.c_str(), &st), err);
  if (present != Presence::kPresent) return present;
  if (!S_ISREG(st.st_mode)) {
    *err = target + " is not a regular file";
    return Presence::kFailed;
  }
  // Root passes every access() test, so a file without any write bit counts as read-only
  // too: the user marked it so on purpose.
  if (access(target.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    *err = target + " is read-only";
    return Presence::kFailed;
  }
  return Presence::kPresent;
}

Presence NameTaken(const Text& path, std::string* err) {
  struct stat st;
  return Inspected(path, lstat(path.c_str(), &st), err);
}

bool CreateTemporary(const Text& target, const Text& like, Text* temporary, FileHandle* file,
                     std::string* err) {
  const Text folder = FolderOf(target);
  const Text name = target.substr(folder.size());
  // A new file gets what the umask allows; one that takes another's permissions starts
  // private and gets them from CopyMetadata.
  const mode_t mode = like.empty() ? 0666 : 0600;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary =
        folder + TemporaryName(name, std::to_string(getpid()) + "-" + std::to_string(attempt));
    int fd = open(temporary->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return Fail(err, "cannot create a temporary file beside " + target);
    // Held from here on. A cleaner that took it in the moment before (it looked stale) has
    // removed it or is about to: leave it to that one and take another name. A file system
    // without locks leaves it unheld, and RemoveUnlessHeld cannot take it either.
    struct stat st;
    bool taken = !TryLockFile(fd, false) && (errno == EAGAIN || errno == EACCES);
    if (!taken && fstat(fd, &st) != 0) {
      Fail(err, "cannot inspect a temporary file beside " + target);
      unlink(temporary->c_str());
      close(fd);
      return false;
    }
    if (taken || st.st_nlink == 0) {
      close(fd);
      continue;
    }
    file->value = fd;
    return true;
  }
  *err = "no free temporary name beside " + target;
  return false;
}

bool WriteAll(FileHandle file, const char* data, size_t size, std::string* err) {
  // Pieces of 1 MiB: one write of a whole large library ran at half the speed, measured.
  constexpr size_t kPiece = 1 << 20;
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(Fd(file), data + done, std::min(size - done, kPiece));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(err, "cannot write the new file");
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FlushFile(FileHandle file, std::string* err) {
  return fsync(Fd(file)) == 0 || Fail(err, "cannot flush the new file to disk");
}

WriteResult MoveIntoPlace(FileHandle, const Text& temporary_path, const Text& target, bool replace,
                          std::string* err) {
  if (replace) {
    if (rename(temporary_path.c_str(), target.c_str()) == 0) return WriteResult::kWritten;
    Fail(err, "cannot rename the new file over " + target);
    return WriteResult::kFailed;
  }
  if (renameat2(AT_FDCWD, temporary_path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
      0) {
    return WriteResult::kWritten;
  }
  // Network and older file systems have no such rename; a hard link is created only if the
  // name is free just as well.
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    if (link(temporary_path.c_str(), target.c_str()) == 0) {
      unlink(temporary_path.c_str());
      return WriteResult::kWritten;
    }
  }
  if (errno == EEXIST) return WriteResult::kNameTaken;
  Fail(err, "cannot create " + target);
  return WriteResult::kFailed;
}

void DiscardTemporary(FileHandle* temporary, const Text& temporary_path) {
  unlink(temporary_path.c_str());
  CloseFile(temporary);
}

void SyncFolder(const Text& target) {
  // Some file systems refuse fsync on a folder; the new content is in place by then, so that
  // is no failure of the write.
  const Text folder = FolderOf(target);
  int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

std::vector<Text> ListFolder(const Text& folder) {
  std::vector<Text> names;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return names;
  while (struct dirent* entry = readdir(dir)) names.push_back(entry->d_name);
  closedir(dir);
  return names;
}

void RemoveUnlessHeld(const Text& path, const Text& unique) {
  // A leftover of another user's run may refuse writing: a shared lock, which the writer's
  // exclusive one excludes, proves as well that the writer is gone. One that refuses reading
  // too is left by a process of this machine that no longer exists: its name holds the pid.
  bool shared = false;
  int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    shared = true;
    fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  }
  if (fd < 0 && errno == EACCES) {
    const long pid = std::strtol(unique.c_str(), nullptr, 10);
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) unlink(path.c_str());
    return;
  }
  if (fd < 0) return;
  struct stat held, named;
  // Holding the lock proves its writer is gone; the name must still be this very file.
  if (TryLockFile(fd, shared) && fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
      held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
    unlink(path.c_str());
  }
  close(fd);
}

Text CurrentFolder() {
  char* folder = getcwd(nullptr, 0);
  if (!folder) return Text();
  Text result = folder;
  free(folder);
  return result;
}

int ChangeFolder(const Text& path) { return chdir(path.c_str()) == 0 ? 0 : -1; }
