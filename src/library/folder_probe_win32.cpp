#include <windows.h>

#include "files.h"
#include "folder_probe.h"

Text EntryFolder(const Text& simulator_folder, std::string_view written) {
  // "\..." and "/..." start at the root of the current drive, "X:" names a drive, and "\\"
  // a server; the rest is relative.
  const bool rooted = written.starts_with('\\') || written.starts_with('/');
  const bool drive = written.size() >= 2 && written[1] == ':' &&
                     ((written[0] | 0x20) >= 'a' && (written[0] | 0x20) <= 'z');
  if (rooted || drive) return Text(written);
  return simulator_folder + kPathSeparator + Text(written);
}

bool IsFolder(const Text& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ListFolder(const Text&, std::vector<std::string>*) {
  // Not measured on Windows: each folder is asked of the system.
  return false;
}
