#include "memory_win32.h"

#include <windows.h>

#include <atomic>

#include "memory.h"

namespace {

// The one live mapping, which a replace of its file closes before the rename, and its range as
// the fault handler sees it.
const FileMapping* g_live = nullptr;
std::atomic<char*> g_begin{nullptr};
std::atomic<size_t> g_size{0};
void* g_handler = nullptr;

// The exit code of a run that saved nothing, which installers branch on.
constexpr UINT kNotSaved = 17;

// A look into a view whose pages cannot be read any more raises EXCEPTION_IN_PAGE_ERROR: a file
// on a network folder or a removable medium that went away, or one cut short where the system
// lets it be (Wine). No byte read from the view can be trusted then, and the run cannot go on
// without them: it ends as a library not saved, which it is, the rename not having happened. A
// fault anywhere else goes on to whatever handles it.
LONG CALLBACK OnPageFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  const DWORD code = record->ExceptionCode;
  if ((code != EXCEPTION_IN_PAGE_ERROR && code != EXCEPTION_ACCESS_VIOLATION) ||
      record->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  const char* hit = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
  const char* begin = g_begin.load();
  if (begin == nullptr || hit < begin || hit >= begin + g_size.load())
    return EXCEPTION_CONTINUE_SEARCH;
  // Straight to the handle: the C library's stream may be locked by the thread that faulted.
  static const char kReason[] =
      "sceneryreg: the library could not be read to its end: another program cut it short, or "
      "its disk went away, while it was read\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kReason, sizeof kReason - 1, &written, nullptr);
  ExitProcess(kNotSaved);
}

}  // namespace

// A file with a view cannot be cut short by anybody while the view exists (SetEndOfFile fails
// with ERROR_USER_MAPPED_FILE), and another program's write in place changes the stamp that the
// replace checks; what is left is a view whose pages cannot be read in (OnPageFault).
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
  // First in line: a handler before it must not take the fault for one of its own.
  g_handler = AddVectoredExceptionHandler(1, OnPageFault);
  if (g_handler == nullptr) {
    UnmapViewOfFile(view);
    return false;
  }
  data_ = static_cast<char*>(view);
  size_ = size;
  g_live = this;
  g_size = size;
  g_begin = data_;
  return true;
}

void CloseMappingForRename() {
  if (g_live == nullptr) return;
  char* const view = g_begin.exchange(nullptr);
  UnmapViewOfFile(view);
  RemoveVectoredExceptionHandler(g_handler);
  g_live = nullptr;
}

bool MappingIntact() { return true; }

size_t CopyFromMapping(intptr_t, const char*, size_t) { return 0; }

bool CopyOutOfMapping(const char*, size_t, char*) { return false; }
