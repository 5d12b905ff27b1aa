#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "file_lock_posix.h"
#include "file_ops.h"
#include "files.h"

const char kPathSeparator[] = "/";

namespace {

int Fd(FileHandle file) { return static_cast<int>(file.value); }

bool Fail(std::string* err, const Text& what) {
  *err = what + ": " + SystemError();
  return false;
}

// Extended attributes the kernel keeps for itself or for an administrator (security labels,
// trusted.*): an unprivileged run cannot set them, and the folder's defaults stand in.
bool MayBeLeftOut(const Text& name) {
  return name.rfind("security.", 0) == 0 || name.rfind("trusted.", 0) == 0;
}

bool CopyExtendedAttributes(const Text& target, int fd, std::string* err) {
  ssize_t size = listxattr(target.c_str(), nullptr, 0);
  if (size < 0) return errno == ENOTSUP || Fail(err, "cannot list the attributes of " + target);
  Text names(static_cast<size_t>(size), '\0');
  size = listxattr(target.c_str(), names.data(), names.size());
  if (size < 0) return Fail(err, "cannot list the attributes of " + target);
  names.resize(static_cast<size_t>(size));
  for (size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const Text name = names.c_str() + at;
    ssize_t length = getxattr(target.c_str(), name.c_str(), nullptr, 0);
    Text value(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length < 0 ||
        (length = getxattr(target.c_str(), name.c_str(), value.data(), value.size())) < 0) {
      return Fail(err, "cannot read attribute " + name + " of " + target);
    }
    if (fsetxattr(fd, name.c_str(), value.data(), static_cast<size_t>(length), 0) != 0 &&
        !MayBeLeftOut(name)) {
      return Fail(err, "cannot set attribute " + name + " on the new " + target);
    }
  }
  return true;
}

// The access ACL as the kernel keeps it in kAccessAcl: a 4-byte version, then 8-byte entries
// of tag, permission bits and id, little-endian, in the order of tag and id.
const char kAccessAcl[] = "system.posix_acl_access";
enum AclTag : uint16_t {
  kUserObj = 1, kUser = 2, kGroupObj = 4, kGroup = 8, kMask = 16, kOther = 32
};
struct AclEntry {
  uint16_t tag, perm;
  uint32_t id;
  bool operator<(const AclEntry& other) const {
    return tag != other.tag ? tag < other.tag : id < other.id;
  }
};

uint32_t Little(const Text& bytes, size_t at, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

void PutLittle(Text* bytes, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes->push_back(static_cast<char>(value >> (8 * i)));
}

// The ACL on fd, or the one its permission bits amount to when it has none.
bool ReadAcl(int fd, mode_t mode, std::vector<AclEntry>* entries, std::string* err) {
  Text bytes(4096, '\0');
  ssize_t size = fgetxattr(fd, kAccessAcl, bytes.data(), bytes.size());
  if (size < 0 && errno != ENODATA && errno != ENOTSUP) return Fail(err, "cannot read the ACL");
  if (size < 4) {
    *entries = {{kUserObj, static_cast<uint16_t>(mode >> 6 & 7), ~0u},
                {kGroupObj, static_cast<uint16_t>(mode >> 3 & 7), ~0u},
                {kOther, static_cast<uint16_t>(mode & 7), ~0u}};
    return true;
  }
  for (size_t at = 4; at + 8 <= static_cast<size_t>(size); at += 8) {
    entries->push_back({static_cast<uint16_t>(Little(bytes, at, 2)),
                        static_cast<uint16_t>(Little(bytes, at + 2, 2)), Little(bytes, at + 4, 4)});
  }
  return true;
}

std::vector<AclEntry>::iterator FindEntry(std::vector<AclEntry>* entries, uint16_t tag) {
  return std::find_if(entries->begin(), entries->end(), [tag](auto& e) { return e.tag == tag; });
}

// Sets the named entry for id to perm, adding it when missing.
void SetNamedEntry(std::vector<AclEntry>* entries, uint16_t tag, uint32_t id, uint16_t perm) {
  for (AclEntry& entry : *entries) {
    if (entry.tag == tag && entry.id == id) return void(entry.perm = perm);
  }
  entries->push_back({tag, perm, id});
}

// A file that cannot go on belonging to old's owner (or group) takes from this run's user: an
// ACL entry keeps the old owner's rights, and the old group's, which the new group does not
// inherit. Only where the file system has no ACL is that refused, for the owner.
bool KeepOwnerRights(int fd, const struct stat& old, const Text& like, std::string* err) {
  struct stat now;
  if (fstat(fd, &now) != 0) return Fail(err, "cannot inspect the new " + like);
  const bool owner_lost = now.st_uid != old.st_uid, group_lost = now.st_gid != old.st_gid;
  if (!owner_lost && !group_lost) return true;
  std::vector<AclEntry> entries;
  if (!ReadAcl(fd, now.st_mode, &entries, err)) return false;
  uint16_t added = 0;
  if (owner_lost) SetNamedEntry(&entries, kUser, old.st_uid, added = old.st_mode >> 6 & 7);
  auto group = FindEntry(&entries, kGroupObj);
  if (group_lost && group != entries.end()) {
    const uint16_t perm = std::exchange(group->perm, 0);
    SetNamedEntry(&entries, kGroup, old.st_gid, perm);
    added |= perm;
  }
  // Named entries need a mask; an existing one widens only by what the new entries grant.
  auto mask = FindEntry(&entries, kMask);
  if (mask == entries.end()) {
    uint16_t group_class = 0;
    for (const AclEntry& entry : entries) {
      if (entry.tag == kUser || entry.tag == kGroupObj || entry.tag == kGroup)
        group_class |= entry.perm;
    }
    entries.push_back({kMask, group_class, ~0u});
  } else {
    mask->perm |= added;
  }
  std::sort(entries.begin(), entries.end());
  Text bytes;
  PutLittle(&bytes, 2, 4);
  for (const AclEntry& entry : entries) {
    PutLittle(&bytes, entry.tag, 2);
    PutLittle(&bytes, entry.perm, 2);
    PutLittle(&bytes, entry.id, 4);
  }
  if (fsetxattr(fd, kAccessAcl, bytes.data(), bytes.size(), 0) == 0) return true;
  if (errno == ENOTSUP && !owner_lost) return true;
  if (errno == ENOTSUP) {
    *err = like + " belongs to another user, and its file system has no ACL to keep their "
           "rights: run the tool as that user or as root";
    return false;
  }
  return Fail(err, "cannot keep the rights of the owner of " + like);
}

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

namespace {

FileStamp StampOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
          static_cast<int64_t>(st.st_size), st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
          st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
}

}  // namespace

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
    *temporary = folder + TemporaryName(name, std::to_string(getpid()) + "-" +
                                                  std::to_string(attempt));
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

bool CopyMetadata(const Text& like, FileHandle temporary, const Text&, std::string* err) {
  struct stat st;
  if (stat(like.c_str(), &st) != 0) return Fail(err, "cannot inspect " + like);
  const int fd = Fd(temporary);
  // Owner and group where permitted: root (an installer under sudo) gives the file back to
  // its owner; anybody else keeps at least the group when a member of it.
  if (fchown(fd, st.st_uid, st.st_gid) != 0) (void)!fchown(fd, -1, st.st_gid);
  // The ACL travels as an extended attribute. One the temporary inherited from the folder's
  // defaults is not the file's: without one of its own, the file gets none.
  if (fremovexattr(fd, kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP)
    return Fail(err, "cannot remove the inherited ACL of the new " + like);
  if (!CopyExtendedAttributes(like, fd, err)) return false;
  // The mode comes after the ACL, since setting an ACL rewrites the group bits; an entry that
  // keeps the owner's rights comes last, as the mask must cover it.
  if (fchmod(fd, st.st_mode & 07777) != 0) return Fail(err, "cannot set the permissions");
  return KeepOwnerRights(fd, st, like, err);
}

WriteResult MoveIntoPlace(FileHandle, const Text& temporary_path, const Text& target,
                          bool replace, std::string* err) {
  if (replace) {
    if (rename(temporary_path.c_str(), target.c_str()) == 0) return WriteResult::kWritten;
    Fail(err, "cannot rename the new file over " + target);
    return WriteResult::kFailed;
  }
  if (renameat2(AT_FDCWD, temporary_path.c_str(), AT_FDCWD, target.c_str(),
                RENAME_NOREPLACE) == 0) {
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

int ChangeFolder(const Text& path) {
  return chdir(path.c_str()) == 0 ? 0 : -1;
}
