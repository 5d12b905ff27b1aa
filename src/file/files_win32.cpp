#include <aclapi.h>
#include <direct.h>
#include <sddl.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "busy_win32.h"
#include "file_ops.h"
#include "file_security_win32.h"
#include "files.h"
#include "library_lock.h"
#include "long_path_win32.h"
#include "memory_win32.h"
#include "rename_win32.h"

namespace {

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

// Only these mean that nothing is at a path; any other failure is one of inspecting it.
bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// FileRenameInfoEx and its flags, from Windows 10 1607 on, which the headers hide from builds
// that also run on older systems.
const auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
const DWORD kReplaceIfExists = 0x1;
const DWORD kPosixSemantics = 0x2;

// The kernel's own spelling of path, which a rename through a handle needs.
std::wstring KernelPath(const Text& path) { return L"\\??\\" + LongPath(path).substr(4); }

// The 8.3 name of the file at path, or "" when it has none the system can tell.
std::wstring ShortName(const std::wstring& path) {
  std::wstring name(GetShortPathNameW(path.c_str(), nullptr, 0), L'\0');
  const DWORD length = name.empty() ? 0 : GetShortPathNameW(path.c_str(), name.data(), name.size());
  name.resize(length < name.size() ? length : 0);
  return name;
}

// Renames the open file to target through its handle, which no other run can delete
// meanwhile. A reader holding target (a concurrent run testing that the library exists, a
// virus scanner) blocks a replace for a moment, not for good.
bool RenameByHandle(HANDLE file, const Text& target, bool replace) {
  const std::wstring name = KernelPath(target);
  const size_t size = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
  std::string buffer(size, '\0');
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), info->FileName);
  // With POSIX semantics a reader that shares deleting, as this tool's readers do, no longer
  // blocks the replace: it keeps reading the old file.
  bool posix = true;
  const ULONGLONG give_up = GetTickCount64() + static_cast<ULONGLONG>(kLockWait.count());
  for (;;) {
    // The Ex class reads the first field as flags, the other as a BOOLEAN.
    const DWORD flags = posix ? (replace ? kReplaceIfExists : 0) | kPosixSemantics : replace;
    std::memcpy(buffer.data(), &flags, sizeof flags);
    const FILE_INFO_BY_HANDLE_CLASS kind = posix ? kRenameInfoEx : FileRenameInfo;
    if (SetFileInformationByHandle(file, kind, info, static_cast<DWORD>(size))) return true;
    const DWORD error = GetLastError();
    switch (AfterFailedRename(error, posix, replace, GetTickCount64() < give_up)) {
      case RenameStep::kPlainRename: posix = false; break;
      case RenameStep::kRetry: Sleep(20); break;
      case RenameStep::kGiveUp: SetLastError(error); return false;
    }
  }
}

// A self-relative descriptor whose protected DACL lets this process's user alone at a file;
// empty when the user cannot be told.
std::string PrivateSecurity() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  alignas(TOKEN_USER) char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  char* sid = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) {
    const Text sddl = "D:P(A;;FA;;;" + Text(sid) + ")";
    ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                         nullptr);
  }
  std::string bytes;
  if (descriptor) {
    const char* begin = static_cast<const char*>(descriptor);
    bytes.assign(begin, begin + GetSecurityDescriptorLength(descriptor));
  }
  LocalFree(descriptor);
  LocalFree(sid);
  CloseHandle(token);
  return bytes;
}

}  // namespace

bool MayBeBusy(DWORD error, DWORD attributes) {
  if (error == ERROR_SHARING_VIOLATION) return true;
  return error == ERROR_ACCESS_DENIED &&
         (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY));
}

RenameStep AfterFailedRename(DWORD error, bool posix, bool replace, bool time_left) {
  // Systems before Windows 10 1607 do not know the class; FAT and most network file systems
  // refuse POSIX semantics.
  const bool unsupported = error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
                           error == ERROR_INVALID_FUNCTION;
  if (posix && unsupported) return RenameStep::kPlainRename;
  if (!replace || !time_left) return RenameStep::kGiveUp;
  // A reader that shares no deleting (a virus scanner) refuses any replace while it holds the
  // file; one that shares deleting refuses only a replace without POSIX semantics.
  if (error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && !posix))
    return RenameStep::kRetry;
  return RenameStep::kGiveUp;
}

CreationAttributes CreationAttributesFor(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return {FILE_ATTRIBUTE_NORMAL, false};
  const DWORD flags =
      attributes & FILE_ATTRIBUTE_ENCRYPTED ? FILE_ATTRIBUTE_ENCRYPTED : FILE_ATTRIBUTE_NORMAL;
  return {flags, (attributes & FILE_ATTRIBUTE_COMPRESSED) != 0};
}

std::string SystemError() {
  DWORD number = GetLastError();
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, number, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = text ? text : "unknown error";
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message + " (error " + std::to_string(number) + ")";
}

bool ResolvePath(const Text& path, Text* resolved, std::string* err) {
  // Replacing the file a symbolic link or junction leads to keeps the user's link. Only such a
  // file is followed: the final path of any other is no better than the given one, and many
  // file systems (network shares, RAM disks, user-mode ones) cannot tell it.
  *resolved = path;
  std::replace(resolved->begin(), resolved->end(), '/', '\\');
  const std::wstring wide = LongPath(path);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE itself = CreateFileW(wide.c_str(), 0, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (itself == INVALID_HANDLE_VALUE)
    return IsMissing(GetLastError()) || Fail(err, "cannot inspect " + path);
  BY_HANDLE_FILE_INFORMATION info;
  const bool inspected = GetFileInformationByHandle(itself, &info);
  const DWORD error = GetLastError();
  CloseHandle(itself);
  if (!inspected) {
    SetLastError(error);
    return Fail(err, "cannot inspect " + path);
  }
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  HANDLE file = CreateFileW(wide.c_str(), 0, share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return IsMissing(GetLastError()) || Fail(err, "cannot follow " + path);
  const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  std::wstring final(GetFinalPathNameByHandleW(file, nullptr, 0, flags), L'\0');
  const DWORD length =
      final.empty() ? 0 : GetFinalPathNameByHandleW(file, final.data(), final.size(), flags);
  final.resize(length < final.size() ? length : 0);
  CloseHandle(file);
  // A name the code page cannot hold may have a short name that it can; failing both, the given
  // path stands, and the link itself is what a replace replaces.
  if (!final.empty() && !Narrow(PlainPath(final), resolved))
    Narrow(PlainPath(ShortName(final)), resolved);
  return true;
}

Text FolderOf(const Text& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == Text::npos ? Text() : path.substr(0, cut + 1);
}

bool OpenForReading(const Text& path, FileHandle* file, std::string* err) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open. Reading and deleting are
  // shared, so that a concurrent replace can go ahead while the file is held; writing is not,
  // so a file half-way through another program's write in place is waited for, never read.
  const std::wstring native = LongPath(path);
  ULONGLONG give_up = GetTickCount64() + 2000;
  for (;;) {
    HANDLE handle = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file->value = reinterpret_cast<intptr_t>(handle);
      return true;
    }
    const DWORD error = GetLastError();
    if (!MayBeBusy(error, GetFileAttributesW(native.c_str())) || GetTickCount64() >= give_up) {
      SetLastError(error);
      return Fail(err, "cannot open " + path);
    }
    Sleep(20);
  }
}

bool OpenFileBlocksReplace() { return true; }

bool NoFileAt(const Text& path) {
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(GetLastError());
  return attributes & FILE_ATTRIBUTE_DIRECTORY;
}

bool StampOfFile(FileHandle file, FileStamp* stamp, std::string* err) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Handle(file), &info)) return Fail(err, "cannot inspect the file");
  // NTFS keeps no change time that this call reports; the last write stands for it.
  stamp->volume = info.dwVolumeSerialNumber;
  stamp->index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  stamp->size = static_cast<int64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  stamp->modified = static_cast<int64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                    info.ftLastWriteTime.dwLowDateTime;
  stamp->changed = 0;
  return true;
}

bool StampAtPath(const Text& path, FileStamp* stamp, std::string* err) {
  HANDLE handle = CreateFileW(LongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(err, "cannot inspect " + path);
  FileHandle file{reinterpret_cast<intptr_t>(handle)};
  bool ok = StampOfFile(file, stamp, err);
  CloseFile(&file);
  return ok;
}

bool IsDiskFile(FileHandle file, const Text& path, std::string* err) {
  // A folder does not open for reading; a pipe or a device at a path does.
  if (GetFileType(Handle(file)) == FILE_TYPE_DISK) return true;
  *err = path + " is not a regular file";
  return false;
}

bool MeasureFile(FileHandle file, int64_t* length, std::string* err) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Handle(file), &size)) return Fail(err, "cannot measure the file");
  *length = size.QuadPart;
  return true;
}

bool ReadSome(FileHandle file, char* data, size_t size, size_t* got, std::string* err) {
  DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  DWORD n = 0;
  if (!ReadFile(Handle(file), data, chunk, &n, nullptr)) return Fail(err, "cannot read the file");
  *got = n;
  return true;
}

void CloseFile(FileHandle* file) {
  if (file->value != -1) CloseHandle(Handle(*file));
  file->value = -1;
}

namespace {

// What GetFileAttributesW's attributes for path say is there: kAbsent only for "no such file".
// One that could not be inspected is no new file: replacing it as one would drop its security.
Presence Inspected(const Text& path, DWORD attributes, std::string* err) {
  if (attributes != INVALID_FILE_ATTRIBUTES) return Presence::kPresent;
  if (IsMissing(GetLastError())) return Presence::kAbsent;
  Fail(err, "cannot inspect " + path);
  return Presence::kFailed;
}

}  // namespace

Presence CheckReplaceable(const Text& target, std::string* err) {
  const DWORD attributes = GetFileAttributesW(LongPath(target).c_str());
  const Presence present = Inspected(target, attributes, err);
  if (present != Presence::kPresent) return present;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    *err = target + " is a folder";
    return Presence::kFailed;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    *err = target + " is read-only";
    return Presence::kFailed;
  }
  return Presence::kPresent;
}

Presence NameTaken(const Text& path, std::string* err) {
  // The attributes of a link or junction itself: the call does not follow reparse points.
  return Inspected(path, GetFileAttributesW(LongPath(path).c_str()), err);
}

bool CreateTemporary(const Text& target, const Text& like, Text* temporary, FileHandle* file,
                     std::string* err) {
  const Text folder = FolderOf(target);
  const Text name = target.substr(folder.size());
  // DELETE to rename it through its handle; FILE_READ_DATA, with writing, to compress it;
  // READ_CONTROL, WRITE_DAC and WRITE_OWNER to give it like's security, the last two of which a
  // share granting "Change" refuses.
  const DWORD kWrite = GENERIC_WRITE | FILE_READ_DATA | DELETE | READ_CONTROL;
  DWORD access = kWrite | WRITE_DAC | WRITE_OWNER;
  const CreationAttributes kept =
      CreationAttributesFor(like.empty() ? 0 : GetFileAttributesW(LongPath(like).c_str()));
  std::string start;  // the security it is made with, when not what its folder gives
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = folder + TemporaryName(name, std::to_string(GetCurrentProcessId()) + "-" +
                                                  std::to_string(attempt));
    // Shared with nobody, so that no other run can delete it, nor anybody read it, while open.
    SECURITY_ATTRIBUTES security = {sizeof security, start.empty() ? nullptr : start.data(), FALSE};
    HANDLE handle = CreateFileW(LongPath(*temporary).c_str(), access, 0, &security, CREATE_NEW,
                                kept.flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_ACCESS_DENIED && access != kWrite) {
        access = kWrite;
        --attempt;
        continue;
      }
      if (error == ERROR_FILE_EXISTS) continue;
      return Fail(err, "cannot create a temporary file beside " + target);
    }
    // It starts with what its folder gives, which is all that a library with nothing of its own
    // needs; under Wine that also keeps the Unix permission bits that such a library has.
    const bool needs_dacl = !like.empty() && NeedsOwnDacl(like, handle, *temporary);
    const TemporaryStart next = NextStart(needs_dacl, access != kWrite, !start.empty());
    if (next == TemporaryStart::kKeep) {
      if (kept.compress) {
        USHORT format = COMPRESSION_FORMAT_DEFAULT;
        DWORD returned = 0;
        DeviceIoControl(handle, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0,
                        &returned, nullptr);
      }
      file->value = reinterpret_cast<intptr_t>(handle);
      return true;
    }
    // Made again with like's DACL rather than given it later: nobody else may read it
    // meanwhile, and Wine would widen the Unix permissions of a DACL set later. Where that
    // cannot be changed later, or like's cannot be read, this user alone has it.
    CloseHandle(handle);
    DeleteFileW(LongPath(*temporary).c_str());
    if (next == TemporaryStart::kLike) start = StartingSecurity(like, *temporary);
    if (start.empty()) start = PrivateSecurity();
    if (start.empty()) return Fail(err, "cannot make a private file beside " + target);
  }
  *err = "no free temporary name beside " + target;
  return false;
}

bool WriteAll(FileHandle file, const char* data, size_t size, std::string* err) {
  size_t done = 0;
  while (done < size) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(Handle(file), data + done, chunk, &written, nullptr) || written == 0)
      return Fail(err, "cannot write the new file");
    done += written;
  }
  return true;
}

bool FlushFile(FileHandle file, std::string* err) {
  return FlushFileBuffers(Handle(file)) || Fail(err, "cannot flush the new file to disk");
}

WriteResult MoveIntoPlace(FileHandle temporary, const Text&, const Text& target, bool replace,
                          std::string* err) {
  // The file replaced is the one read: a view of it would refuse the rename.
  if (replace) CloseMappingForRename();
  if (RenameByHandle(Handle(temporary), target, replace)) return WriteResult::kWritten;
  if (!replace && (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS))
    return WriteResult::kNameTaken;
  Fail(err, "cannot put the new file in place of " + target);
  return WriteResult::kFailed;
}

void DiscardTemporary(FileHandle* temporary, const Text&) {
  // Through the handle, which may delete it: its DACL may let nobody open it to do so.
  FILE_DISPOSITION_INFO disposition = {TRUE};
  SetFileInformationByHandle(Handle(*temporary), FileDispositionInfo, &disposition,
                             sizeof disposition);
  CloseFile(temporary);
}

void SyncFolder(const Text&) {
  // NTFS journals the rename itself.
}

std::vector<Text> ListFolder(const Text& folder) {
  std::vector<Text> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(LongPath((folder.empty() ? ".\\" : folder) + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // A name the code page cannot hold is none that this tool gave.
    Text name;
    if (Narrow(found.cFileName, &name)) names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

void RemoveUnlessHeld(const Text& path, const Text&) {
  // A live run's temporary is open shared with nobody, so this fails for it.
  DeleteFileW(LongPath(path).c_str());
}

Text CurrentFolder() {
  DWORD size = GetCurrentDirectoryA(0, nullptr);
  if (size == 0) return Text();
  Text folder(size, '\0');
  DWORD length = GetCurrentDirectoryA(size, folder.data());
  if (length == 0 || length >= size) return Text();
  folder.resize(length);
  return folder;
}

int ChangeFolder(const Text& path) { return _chdir(path.c_str()) == 0 ? 0 : -1; }
