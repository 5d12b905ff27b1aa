#include <aclapi.h>
#include <direct.h>
#include <sddl.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "file_ops.h"
#include "file_security_win32.h"
#include "files.h"

namespace {

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

// Another run may be replacing the file right now; for that moment the file is refused with a
// sharing violation, or denied while its replacement is pending. A folder is denied for good.
bool MayBeBusy(const Text& path, DWORD error) {
  if (error == ERROR_SHARING_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Only these mean that nothing is at a path; any other failure is one of inspecting it.
bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring Wide(const Text& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// wide in the ANSI code page, unless a character does not survive the way there and back: a
// best-fit stand-in could name another file.
bool Narrow(const std::wstring& wide, Text* text) {
  const int size = static_cast<int>(wide.size());
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  Text narrow(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, narrow.data(), n, nullptr, nullptr);
  if (Wide(narrow) != wide) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  *text = narrow;
  return true;
}

// The kernel's own spelling of path, which a rename through a handle needs.
std::wstring KernelPath(const Text& path) {
  std::wstring wide = Wide(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full.substr(4);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full.substr(2);
  return L"\\??\\" + full;
}

// Renames the open file to target through its handle, which no other run can delete
// meanwhile. A reader holding target (a concurrent run testing that the library exists, a
// virus scanner) blocks a replace for a moment, not for good.
bool RenameByHandle(HANDLE file, const Text& target, bool replace) {
  const std::wstring name = KernelPath(target);
  const size_t size = sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t);
  std::string buffer(size, '\0');
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), info->FileName);
  ULONGLONG give_up = GetTickCount64() + 2000;
  for (;;) {
    if (SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(size)))
      return true;
    DWORD error = GetLastError();
    if (!replace || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
        GetTickCount64() >= give_up) {
      return false;
    }
    Sleep(20);
  }
}

// A protected DACL, in LocalAlloc'd memory, that lets this process's user at a file alone, or
// (not this_user) only delete it, as the leftover of a killed run; null when the user cannot be
// told.
PSECURITY_DESCRIPTOR PrivateSecurity(bool this_user) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  alignas(TOKEN_USER) char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  char* sid = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) {
    const Text sddl = "D:P(A;;" + Text(this_user ? "FA" : "SD") + ";;;" + sid + ")";
    ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                         nullptr);
  }
  LocalFree(sid);
  CloseHandle(token);
  return descriptor;
}

}  // namespace

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
  // Replacing the file a symbolic link or junction leads to keeps the user's link.
  *resolved = path;
  std::replace(resolved->begin(), resolved->end(), '/', '\\');
  HANDLE handle =
      CreateFileA(resolved->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return IsMissing(GetLastError()) || Fail(err, "cannot inspect " + path);
  const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  std::wstring final(GetFinalPathNameByHandleW(handle, nullptr, 0, flags), L'\0');
  DWORD length =
      final.empty() ? 0 : GetFinalPathNameByHandleW(handle, final.data(), final.size(), flags);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (length == 0 || length >= final.size()) {
    SetLastError(error);
    return Fail(err, "cannot follow " + path);
  }
  final.resize(length);
  // The rest of the file layer takes plain paths: \\?\C:\x as C:\x, \\?\UNC\host\x as \\host\x.
  if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    final = L"\\\\" + final.substr(8);
  } else if (final.rfind(L"\\\\?\\", 0) == 0 && final.size() > 6 && final[5] == L':') {
    final = final.substr(4);
  }
  return Narrow(final, resolved) ||
         Fail(err, "cannot name " + path + " in this system's code page");
}

Text FolderOf(const Text& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == Text::npos ? Text() : path.substr(0, cut + 1);
}

bool OpenForReading(const Text& path, FileHandle* file, std::string* err) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open. Reading and deleting are
  // shared, so that a concurrent replace can go ahead while the file is held; writing is not,
  // so a file half-way through another program's write in place is waited for, never read.
  Text native = path;
  std::replace(native.begin(), native.end(), '/', '\\');
  ULONGLONG give_up = GetTickCount64() + 2000;
  for (;;) {
    HANDLE handle = CreateFileA(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file->value = reinterpret_cast<intptr_t>(handle);
      return true;
    }
    DWORD error = GetLastError();
    if (!MayBeBusy(native, error) || GetTickCount64() >= give_up) {
      SetLastError(error);
      return Fail(err, "cannot open " + path);
    }
    Sleep(20);
  }
}

bool OpenFileBlocksReplace() { return true; }

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
  HANDLE handle = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(err, "cannot inspect " + path);
  FileHandle file{reinterpret_cast<intptr_t>(handle)};
  bool ok = StampOfFile(file, stamp, err);
  CloseFile(&file);
  return ok;
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

// What GetFileAttributesA's attributes for path say is there: kAbsent only for "no such file".
// One that could not be inspected is no new file: replacing it as one would drop its security.
Presence Inspected(const Text& path, DWORD attributes, std::string* err) {
  if (attributes != INVALID_FILE_ATTRIBUTES) return Presence::kPresent;
  if (IsMissing(GetLastError())) return Presence::kAbsent;
  Fail(err, "cannot inspect " + path);
  return Presence::kFailed;
}

}  // namespace

Presence CheckReplaceable(const Text& target, std::string* err) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
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
  return Inspected(path, GetFileAttributesA(path.c_str()), err);
}

bool CreateTemporary(const Text& target, const Text& like, Text* temporary, FileHandle* file,
                     std::string* err) {
  const Text folder = FolderOf(target);
  const Text name = target.substr(folder.size());
  // DELETE to rename it through its handle; READ_CONTROL, WRITE_DAC and WRITE_OWNER to give it
  // like's security, the last two of which a share granting "Change" refuses.
  const DWORD kWrite = GENERIC_WRITE | DELETE | READ_CONTROL;
  DWORD access = kWrite | WRITE_DAC | WRITE_OWNER;
  std::unique_ptr<void, decltype(&LocalFree)> start(nullptr, LocalFree);
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = folder + TemporaryName(name, std::to_string(GetCurrentProcessId()) + "-" +
                                                  std::to_string(attempt));
    // Shared with nobody, so that no other run can delete it, nor anybody read it, while open.
    SECURITY_ATTRIBUTES security = {sizeof security, start.get(), FALSE};
    HANDLE handle = CreateFileA(temporary->c_str(), access, 0, &security, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
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
    const TemporaryStart next = NextStart(needs_dacl, access != kWrite, start != nullptr);
    if (next == TemporaryStart::kKeep) {
      // Under Wine a private start leaves the Unix owner no bits: these attributes give back
      // read and write, as the owner of a file whose DACL nobody can change would have them.
      FILE_BASIC_INFO normal = {};
      normal.FileAttributes = FILE_ATTRIBUTE_NORMAL;
      if (start) SetFileInformationByHandle(handle, FileBasicInfo, &normal, sizeof normal);
      file->value = reinterpret_cast<intptr_t>(handle);
      return true;
    }
    // Made again private rather than changed: Wine would add the folder's entries to a DACL
    // set later. Nobody may read it until CopyMetadata gives it like's DACL; where that cannot
    // be done, this user alone.
    CloseHandle(handle);
    DeleteFileA(temporary->c_str());
    start.reset(PrivateSecurity(next == TemporaryStart::kThisUser));
    if (!start) return Fail(err, "cannot make a private file beside " + target);
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
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

void RemoveUnlessHeld(const Text& path, const Text&) {
  // A live run's temporary is open shared with nobody, so this fails for it.
  DeleteFileA(path.c_str());
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
