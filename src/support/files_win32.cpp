#include <algorithm>
#include <direct.h>
#include <windows.h>

#include "files.h"

const char kPathSeparator[] = "\\";

namespace {

// Paths built with "/" (by scripts, or by hand) are meant as "\" paths.
Text NativePath(Text path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// The folder part of path, with its separator or drive colon ("" for a bare name).
Text FolderPrefix(const Text& path) {
  size_t cut = path.find_last_of("\\:");
  return cut == Text::npos ? Text() : path.substr(0, cut + 1);
}

// Another run may be replacing the file right now; for that moment the file is refused
// with a sharing violation, or denied while its replacement is pending. A folder is also
// denied, but for good.
bool MayBeBusy(const Text& path, DWORD error) {
  if (error == ERROR_SHARING_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens path for reading, sharing everything so that a concurrent replace can go ahead
// while the file is held, and waiting out the moment another run is replacing it.
HANDLE OpenForReading(const Text& path) {
  ULONGLONG give_up = GetTickCount64() + 2000;
  for (;;) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (!MayBeBusy(path, GetLastError()) || GetTickCount64() >= give_up) return file;
    Sleep(20);
  }
}

// Renames temporary over target. A reader that holds the target (a concurrent run testing
// that the library exists, a virus scanner) makes the rename fail for a moment, not for good.
bool ReplaceWith(const Text& temporary, const Text& target) {
  ULONGLONG give_up = GetTickCount64() + 2000;
  for (;;) {
    if (MoveFileExA(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
        GetTickCount64() >= give_up) {
      return false;
    }
    Sleep(20);
  }
}

bool WriteAll(HANDLE file, const Text& content) {
  size_t done = 0;
  while (done < content.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

int ReadFileBytes(const Text& path, Text& content) {
  HANDLE file = OpenForReading(NativePath(path));
  if (file == INVALID_HANDLE_VALUE) return 2;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length)) {
    CloseHandle(file);
    return 3;
  }
  // Filled in place, not through a bounce buffer: a library can be 150 MB.
  content.reserve(static_cast<size_t>(length.QuadPart) + kReadSlack);
  content.resize(static_cast<size_t>(length.QuadPart));
  size_t filled = 0;
  for (;;) {
    if (filled == content.size()) content.resize(filled + kReadSlack);  // it grew meanwhile
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - filled, 1u << 30));
    DWORD n = 0;
    if (!ReadFile(file, content.data() + filled, chunk, &n, nullptr)) {
      CloseHandle(file);
      return 2;
    }
    if (n == 0) break;
    filled += n;
  }
  content.resize(filled);
  CloseHandle(file);
  return 0;
}

bool WriteWholeFile(const Text& path, const Text& content) {
  Text target = NativePath(path);
  DWORD attributes = GetFileAttributesA(target.c_str());
  bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return false;
  }

  // The new file carries the old one's marks. This is done by hand rather than with
  // ReplaceFileA, whose emulation under Wine, where the tests run, drops the attributes and
  // leaves a file of its own behind when the replace fails.
  DWORD kept_attributes = exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                 FILE_ATTRIBUTE_ARCHIVE |
                                                 FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)
                                 : 0;
  Text prefix = FolderPrefix(target);
  Text name = target.substr(prefix.size());
  Text temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
    temporary = prefix + TemporaryName(name, NumberToText(GetCurrentProcessId()) + "-" +
                                                 NumberToText(attempt));
    file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       kept_attributes ? kept_attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (file == INVALID_HANDLE_VALUE) return false;

  bool ok = WriteAll(file, content) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  ok = ok && ReplaceWith(temporary, target);
  if (!ok) DeleteFileA(temporary.c_str());
  return ok;
}

void RemoveStaleTemporaries(const Text& path) {
  Text target = NativePath(path);
  Text prefix = FolderPrefix(target);
  Text name = target.substr(prefix.size());
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((prefix + TemporaryName(name, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // The pattern also matches short 8.3 names, so the long name is checked once more.
    if (IsTemporaryName(name, found.cFileName)) DeleteFileA((prefix + found.cFileName).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool FileExists(const Text& path) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open, so it counts as absent.
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
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

int ChangeFolder(const Text& path) {
  return _chdir(path.c_str()) == 0 ? 0 : -1;
}
