#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "files.h"

const char kPathSeparator[] = "/";

namespace {

// The file a write to path really lands in: symbolic links are followed, so that replacing
// the file keeps the user's link and changes what it points to.
Text FollowLinks(Text path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    Text target(st.st_size > 0 ? st.st_size : 4096, '\0');
    ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) break;
    target.resize(n);
    size_t slash = path.rfind('/');
    if (target[0] == '/' || slash == Text::npos) {
      path = target;
    } else {
      path = path.substr(0, slash + 1) + target;
    }
  }
  return path;
}

// The folder part of path, with its separator ("" for a bare name).
Text FolderPrefix(const Text& path) {
  size_t slash = path.rfind('/');
  return slash == Text::npos ? Text() : path.substr(0, slash + 1);
}

bool WriteAll(int fd, const Text& content) {
  // Pieces of 1 MiB: one write of a whole large library runs at half the speed, measured.
  constexpr size_t kPiece = 1 << 20;
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, std::min(content.size() - done, kPiece));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Makes the rename itself survive a power cut. Some file systems refuse fsync on a folder;
// the new content is in place by then, so that is not a failure of the write.
void SyncFolder(const Text& prefix) {
  int fd = open(prefix.empty() ? "." : prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

int ReadFileBytes(const Text& path, Text& content) {
  // Non-blocking so that a FIFO at path cannot stall the run; it has no length and fails below.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 2;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return 2;
  }
  off_t length = lseek(fd, 0, SEEK_END);
  if (length < 0 || lseek(fd, 0, SEEK_SET) != 0) {
    close(fd);
    return 3;
  }
  // Filled in place, not through a bounce buffer: a library can be 150 MB.
  content.reserve(static_cast<size_t>(length) + kReadSlack);
  content.resize(static_cast<size_t>(length));
  size_t filled = 0;
  for (;;) {
    if (filled == content.size()) content.resize(filled + kReadSlack);  // it grew meanwhile
    ssize_t n = read(fd, content.data() + filled, content.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return 2;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  content.resize(filled);
  close(fd);
  return 0;
}

bool WriteWholeFile(const Text& path, const Text& content) {
  Text target = FollowLinks(path);
  mode_t mode = 0666;  // narrowed by the umask, as for any file the user's programs create
  bool keep_mode = false;
  struct stat st;
  if (stat(target.c_str(), &st) == 0) {
    // Root passes every access() test, so a file without any write bit counts as read-only
    // too: the user marked it so on purpose.
    if (!S_ISREG(st.st_mode) || access(target.c_str(), W_OK) != 0 ||
        (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      return false;
    }
    mode = st.st_mode & 07777;
    keep_mode = true;
  }

  Text prefix = FolderPrefix(target);
  Text name = target.substr(prefix.size());
  Text temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = prefix + TemporaryName(name, NumberToText(getpid()) + "-" + NumberToText(attempt));
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = (!keep_mode || fchmod(fd, mode) == 0) && WriteAll(fd, content) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  SyncFolder(prefix);
  return true;
}

void RemoveStaleTemporaries(const Text& path) {
  Text target = FollowLinks(path);
  Text prefix = FolderPrefix(target);
  Text name = target.substr(prefix.size());
  DIR* dir = opendir(prefix.empty() ? "." : prefix.c_str());
  if (!dir) return;
  while (struct dirent* entry = readdir(dir)) {
    if (IsTemporaryName(name, entry->d_name)) unlink((prefix + entry->d_name).c_str());
  }
  closedir(dir);
}

bool FileExists(const Text& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // Unlike Windows, Linux opens a folder for reading; it is still no file.
  struct stat st;
  bool is_file = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  close(fd);
  return is_file;
}

Text CurrentFolder() {
  char* folder = getcwd(nullptr, 0);
  if (!folder) return Text();
  Text result = folder;
  free(folder);
  return result;
}

int ChangeFolder(const Text& path) {
  return chdir(path.c_str()) == 0 ? 0 : -1;
}
