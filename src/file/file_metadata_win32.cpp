#include "file_metadata.h"

#include <aclapi.h>
#include <windows.h>

#include <string>

#include "file_ops.h"
#include "file_security_win32.h"
#include "long_path_win32.h"

namespace {

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

// Attributes a user sets on a file and the file system lets a program set again. Offline is
// the storage system's to set, not a program's; encryption and compression the temporary got
// when it was created.
const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Lets this process give a file an owner other than itself, when it may (an elevated
// installer may; anybody else keeps the owner the system gives).
void EnableRestorePrivilege() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueA(nullptr, "SeRestorePrivilege", &privileges.Privileges[0].Luid))
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  CloseHandle(token);
}

// A file's security descriptor, in LocalAlloc'd memory, and its parts.
struct Descriptor {
  PSECURITY_DESCRIPTOR memory = nullptr;
  FileSecurity parts;
  ~Descriptor() { LocalFree(memory); }
};

// Volumes without ACLs (FAT on a stick) answer security calls with these: nothing to keep.
bool HasNoAcls(DWORD status) {
  return status == ERROR_NOT_SUPPORTED || status == ERROR_INVALID_FUNCTION;
}

// Reads the security of the file at path, or of the open file when path is empty.
DWORD ReadSecurity(const Text& path, HANDLE file, Descriptor* read) {
  const SECURITY_INFORMATION info =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  FileSecurity& parts = read->parts;
  DWORD status = path.empty() ? GetSecurityInfo(file, SE_FILE_OBJECT, info, &parts.owner,
                                                &parts.group, &parts.dacl, nullptr, &read->memory)
                              : GetNamedSecurityInfoW(LongPath(path).c_str(), SE_FILE_OBJECT, info,
                                                      &parts.owner, &parts.group, &parts.dacl,
                                                      nullptr, &read->memory);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (status == ERROR_SUCCESS) GetSecurityDescriptorControl(read->memory, &control, &revision);
  parts.dacl_protected = control & SE_DACL_PROTECTED;
  return status;
}

bool OtherFolder(const Text& like, const Text& temporary_path) {
  return FolderOf(like) != FolderOf(temporary_path);
}

// The entries of dacl with their inheritance frozen: copied into another folder, they must
// stay as they are, not be replaced by what that folder hands on.
std::string FrozenAcl(const ACL* dacl) {
  std::string copy(reinterpret_cast<const char*>(dacl), dacl->AclSize);
  ACL* acl = reinterpret_cast<ACL*>(copy.data());
  for (WORD i = 0; i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(acl, i, &ace)) static_cast<ACE_HEADER*>(ace)->AceFlags &= ~INHERITED_ACE;
  }
  return copy;
}

// Gives the temporary what of like's security it lacks: owner and group each where permitted
// (an elevated installer may give the file back to its owner), then the DACL, so that entries
// inherited for CREATOR OWNER are worked out for the owner set just before.
bool CopySecurity(HANDLE like_file, const Text& like, FileHandle temporary,
                  const Text& temporary_path, std::string* err) {
  Descriptor from, now;
  DWORD status = ReadSecurity("", like_file, &from);
  if (HasNoAcls(status)) return true;
  if (status == ERROR_SUCCESS) status = ReadSecurity("", Handle(temporary), &now);
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    return Fail(err, "cannot read the security of " + like);
  }
  const bool other_folder = OtherFolder(like, temporary_path);
  const SECURITY_INFORMATION info = SecurityToCopy(from.parts, now.parts, other_folder, false);
  bool owner_set = false;
  if (info & OWNER_SECURITY_INFORMATION) {
    EnableRestorePrivilege();
    owner_set = SetSecurityInfo(Handle(temporary), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                from.parts.owner, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }
  if (info & GROUP_SECURITY_INFORMATION) {
    SetSecurityInfo(Handle(temporary), SE_FILE_OBJECT, GROUP_SECURITY_INFORMATION, nullptr,
                    from.parts.group, nullptr, nullptr);
  }
  const SECURITY_INFORMATION dacl_info =
      SecurityToCopy(from.parts, now.parts, other_folder, owner_set) &
      ~(OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION);
  if (!(dacl_info & DACL_SECURITY_INFORMATION)) return true;
  std::string frozen = other_folder && from.parts.dacl ? FrozenAcl(from.parts.dacl) : "";
  PACL dacl = frozen.empty() ? from.parts.dacl : reinterpret_cast<PACL>(frozen.data());
  status = SetSecurityInfo(Handle(temporary), SE_FILE_OBJECT, dacl_info, nullptr, nullptr, dacl,
                           nullptr);
  if (status == ERROR_SUCCESS || HasNoAcls(status)) return true;
  SetLastError(status);
  return Fail(err, "cannot give the new file the security of " + like);
}

}  // namespace

bool NeedsOwnDacl(const Text& like, HANDLE temporary, const Text& temporary_path) {
  Descriptor from, now;
  DWORD status = ReadSecurity(like, nullptr, &from);
  if (status == ERROR_SUCCESS) status = ReadSecurity("", temporary, &now);
  if (HasNoAcls(status)) return false;
  return status != ERROR_SUCCESS ||
         (SecurityToCopy(from.parts, now.parts, OtherFolder(like, temporary_path), false) &
          DACL_SECURITY_INFORMATION);
}

std::string StartingSecurity(const Text& like, const Text& temporary_path) {
  Descriptor from;
  if (ReadSecurity(like, nullptr, &from) != ERROR_SUCCESS) return "";
  const bool other_folder = OtherFolder(like, temporary_path);
  std::string frozen = other_folder && from.parts.dacl ? FrozenAcl(from.parts.dacl) : "";
  PACL dacl = frozen.empty() ? from.parts.dacl : reinterpret_cast<PACL>(frozen.data());
  SECURITY_DESCRIPTOR absolute;
  InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&absolute, TRUE, dacl, FALSE);
  if (from.parts.dacl_protected || other_folder)
    SetSecurityDescriptorControl(&absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  DWORD size = 0;
  MakeSelfRelativeSD(&absolute, nullptr, &size);
  std::string bytes(size, '\0');
  if (!MakeSelfRelativeSD(&absolute, bytes.data(), &size)) return "";
  return bytes;
}

bool CopyMetadata(FileHandle from, const Text& like, FileHandle temporary,
                  const Text& temporary_path, std::string* err) {
  BY_HANDLE_FILE_INFORMATION old;
  if (!GetFileInformationByHandle(Handle(from), &old)) return Fail(err, "cannot inspect " + like);
  FILE_BASIC_INFO basic = {};
  basic.CreationTime.LowPart = old.ftCreationTime.dwLowDateTime;
  basic.CreationTime.HighPart = static_cast<LONG>(old.ftCreationTime.dwHighDateTime);
  basic.FileAttributes = (old.dwFileAttributes & kKeptAttributes)
                             ? old.dwFileAttributes & kKeptAttributes
                             : FILE_ATTRIBUTE_NORMAL;
  // Security first: under Wine the attributes change the permission bits, from which it then
  // reports a DACL that no longer matches the one the temporary was created with.
  if (!CopySecurity(Handle(from), like, temporary, temporary_path, err)) return false;
  return SetFileInformationByHandle(Handle(temporary), FileBasicInfo, &basic, sizeof basic) ||
         Fail(err, "cannot give the new file the attributes of " + like);
}
