#include "file_metadata.h"

#include <errno.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "file_ops.h"

namespace {

int Fd(FileHandle file) { return static_cast<int>(file.value); }

// Extended attributes the kernel keeps for itself or for an administrator (security labels,
// trusted.*): an unprivileged run cannot set them, and the folder's defaults stand in.
bool MayBeLeftOut(const Text& name) {
  return name.rfind("security.", 0) == 0 || name.rfind("trusted.", 0) == 0;
}

bool CopyExtendedAttributes(int from, const Text& target, int fd, std::string* err) {
  ssize_t size = flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP || Fail(err, "cannot list the attributes of " + target);
  Text names(static_cast<size_t>(size), '\0');
  size = flistxattr(from, names.data(), names.size());
  if (size < 0) return Fail(err, "cannot list the attributes of " + target);
  names.resize(static_cast<size_t>(size));
  for (size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const Text name = names.c_str() + at;
    ssize_t length = fgetxattr(from, name.c_str(), nullptr, 0);
    Text value(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length < 0 || (length = fgetxattr(from, name.c_str(), value.data(), value.size())) < 0) {
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
  kUserObj = 1,
  kUser = 2,
  kGroupObj = 4,
  kGroup = 8,
  kMask = 16,
  kOther = 32
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
// ACL entry keeps the old owner's rights, and the old group's as far as the mask let them
// through, which the new group does not inherit. Nobody else gains a right by it. Only where
// the file system has no ACL is that refused, for the owner.
bool KeepOwnerRights(int fd, const struct stat& old, const Text& like, std::string* err) {
  struct stat now;
  if (fstat(fd, &now) != 0) return Fail(err, "cannot inspect the new " + like);
  const bool owner_lost = now.st_uid != old.st_uid, group_lost = now.st_gid != old.st_gid;
  if (!owner_lost && !group_lost) return true;
  std::vector<AclEntry> entries;
  if (!ReadAcl(fd, now.st_mode, &entries, err)) return false;
  auto mask = FindEntry(&entries, kMask);
  const bool had_mask = mask != entries.end();
  const uint16_t old_mask = had_mask ? mask->perm : 7;
  std::vector<AclEntry> kept;
  if (owner_lost) kept.push_back({kUser, static_cast<uint16_t>(old.st_mode >> 6 & 7), old.st_uid});
  auto group = FindEntry(&entries, kGroupObj);
  auto other = FindEntry(&entries, kOther);
  if (group_lost && group != entries.end()) {
    // The new group's members were others before, or of the old group: they keep what both had.
    const uint16_t as_other = other != entries.end() ? other->perm : 0;
    kept.push_back(
        {kGroup,
         static_cast<uint16_t>(std::exchange(group->perm, group->perm & as_other) & old_mask),
         static_cast<uint32_t>(old.st_gid)});
  }
  uint16_t added = 0;
  for (const AclEntry& entry : kept) added |= entry.perm;
  // A wider mask lets more of every entry it limits through: those keep what they had.
  if (had_mask && (added & ~old_mask)) {
    for (AclEntry& entry : entries) {
      if (entry.tag == kUser || entry.tag == kGroupObj || entry.tag == kGroup)
        entry.perm &= old_mask;
    }
  }
  for (const AclEntry& entry : kept) SetNamedEntry(&entries, entry.tag, entry.id, entry.perm);
  // Named entries need a mask; an existing one widens only by what the new entries grant.
  mask = FindEntry(&entries, kMask);
  if (!had_mask) {
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
    *err = like +
           " belongs to another user, and its file system has no ACL to keep their "
           "rights: run the tool as that user or as root";
    return false;
  }
  return Fail(err, "cannot keep the rights of the owner of " + like);
}
}  // namespace

bool CopyMetadata(FileHandle from, const Text& like, FileHandle temporary, const Text&,
                  std::string* err) {
  struct stat st;
  if (fstat(Fd(from), &st) != 0) return Fail(err, "cannot inspect " + like);
  const int fd = Fd(temporary);
  // Owner and group where permitted: root (an installer under sudo) gives the file back to
  // its owner; anybody else keeps at least the group when a member of it.
  if (fchown(fd, st.st_uid, st.st_gid) != 0) (void)!fchown(fd, -1, st.st_gid);
  // The ACL travels as an extended attribute. One the temporary inherited from the folder's
  // defaults is not the file's: without one of its own, the file gets none.
  if (fremovexattr(fd, kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP)
    return Fail(err, "cannot remove the inherited ACL of the new " + like);
  if (!CopyExtendedAttributes(Fd(from), like, fd, err)) return false;
  // The mode comes after the ACL, since setting an ACL rewrites the group bits; an entry that
  // keeps the owner's rights comes last, as the mask must cover it.
  if (fchmod(fd, st.st_mode & 07777) != 0) return Fail(err, "cannot set the permissions");
  return KeepOwnerRights(fd, st, like, err);
}
