#include "memory.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

namespace {

// The one live mapping, as the bus error handler sees it.
std::atomic<char*> g_begin{nullptr};
std::atomic<size_t> g_size{0};
std::atomic<bool> g_cut{false};
int g_file = -1;  // the mapped file, for copies inside the system
struct sigaction g_previous;
sigset_t g_previous_mask;  // of the thread that mapped

// A look past the end of a file that another program cut short under the view raises SIGBUS.
// Zeros are mapped from the page that was hit to the end of the view, so the look, and every
// later one, reads zeros instead of killing the run; the cut is noted, so that nothing read
// from the view is saved. A bus error anywhere else keeps its usual end.
void OnBusError(int signal, siginfo_t* info, void* context) {
  char* const begin = g_begin.load();
  char* const hit = static_cast<char*>(info->si_addr);
  if (begin != nullptr && hit >= begin && hit < begin + g_size.load()) {
    // Noted first: a write from the mapping on another thread that reads these zeros must
    // find the note when it checks afterwards.
    g_cut = true;
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    char* const from = reinterpret_cast<char*>(reinterpret_cast<uintptr_t>(hit) & ~(page - 1));
    if (mmap(from, begin + g_size.load() - from, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
             -1, 0) != MAP_FAILED)
      return;
  }
  if (g_previous.sa_flags & SA_SIGINFO) {
    g_previous.sa_sigaction(signal, info, context);
  } else if (g_previous.sa_handler != SIG_IGN && g_previous.sa_handler != SIG_DFL) {
    g_previous.sa_handler(signal);
  } else {
    // Returning runs the faulting access again, which now ends the process as it would have.
    sigaction(SIGBUS, &g_previous, nullptr);
  }
}

}  // namespace

FileMapping::~FileMapping() {
  if (data_ == nullptr) return;
  munmap(data_, size_);
  g_begin = nullptr;
  g_cut = false;
  close(g_file);
  g_file = -1;
  sigaction(SIGBUS, &g_previous, nullptr);
  pthread_sigmask(SIG_SETMASK, &g_previous_mask, nullptr);
}

bool FileMapping::Map(intptr_t file, size_t size) {
  if (data_ != nullptr || size == 0 || g_begin.load() != nullptr) return false;
  // Shared, not private: the pages are the file system's own cache, which costs neither a copy
  // nor fresh memory (on this project's virtual machine, faulting in fresh memory for a large
  // library took longer than reading it). Populated at once, as the read it replaces was.
  void* data = mmap(nullptr, size, PROT_READ, MAP_SHARED | MAP_POPULATE, static_cast<int>(file), 0);
  if (data == MAP_FAILED) return false;
  struct sigaction action = {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  // The kernel ends a process whose fault signal is blocked, handler or not: a parent may hand
  // down a mask that blocks it. The threads that look at the mapping start after this, and
  // inherit the mask.
  sigset_t bus;
  sigemptyset(&bus);
  sigaddset(&bus, SIGBUS);
  const int copy = fcntl(static_cast<int>(file), F_DUPFD_CLOEXEC, 0);
  if (copy < 0 || sigaction(SIGBUS, &action, &g_previous) != 0) {
    if (copy >= 0) close(copy);
    munmap(data, size);
    return false;
  }
  pthread_sigmask(SIG_UNBLOCK, &bus, &g_previous_mask);
  g_file = copy;
  data_ = static_cast<char*>(data);
  size_ = size;
  g_cut = false;
  g_size = size;
  g_begin = data_;
  return true;
}

bool MappingIntact() { return !g_cut.load(); }

size_t CopyFromMapping(intptr_t to, const char* data, size_t size) {
  char* const begin = g_begin.load();
  if (begin == nullptr || data < begin || data + size > begin + g_size.load()) return 0;
  // Cached pages copied by the kernel; writing them from the mapping touched every page of it
  // once more, which on this project's machine took twice as long.
  loff_t offset = data - begin;
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        copy_file_range(g_file, &offset, static_cast<int>(to), nullptr, size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool CopyOutOfMapping(const char* data, size_t size, char* into) {
  char* const begin = g_begin.load();
  if (begin == nullptr || data < begin || data + size > begin + g_size.load()) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(g_file, into + done, size - done, data - begin + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}
