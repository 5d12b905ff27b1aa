#include "memory_win32.h"

#include <windows.h>

#include "memory.h"

namespace {

// The one live mapping, which a replace of its file closes before the rename.
const FileMapping* g_live = nullptr;
void* g_view = nullptr;

}  // namespace

// A file with a view cannot be cut short by anybody while the view exists (SetEndOfFile fails
// with ERROR_USER_MAPPED_FILE), so no look into it can fault; another program's write in place
// changes the stamp that the replace checks.
FileMapping::~FileMapping() {
  if (g_live == this) CloseMappingForRename();
}

bool FileMapping::Map(intptr_t file, size_t size) {
  if (g_live != nullptr || size == 0) return false;
  HANDLE section =
      CreateFileMappingW(reinterpret_cast<HANDLE>(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (section == nullptr) return false;
  // The view keeps the section, and the section the file, for as long as it exists.
  void* view = MapViewOfFile(section, FILE_MAP_READ, 0, 0, size);
  CloseHandle(section);
  if (view == nullptr) return false;
  data_ = static_cast<char*>(view);
  size_ = size;
  g_live = this;
  g_view = view;
  return true;
}

void CloseMappingForRename() {
  if (g_live == nullptr) return;
  UnmapViewOfFile(g_view);
  g_live = nullptr;
}

bool MappingIntact() { return true; }

size_t CopyFromMapping(intptr_t, const char*, size_t) { return 0; }

bool CopyOutOfMapping(const char*, size_t, char*) { return false; }
