#include "memory.h"

#include <sys/mman.h>

#include <cstdint>

// Older headers lack it; a kernel without it (before 5.14) refuses the call, which is harmless.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

void BackWithHugePages(char* data, size_t size) {
  // The huge page size of x86-64, and of arm64 with 4 KiB pages. A smaller buffer, as every
  // library of realistic size is, holds no whole huge page and costs no system call.
  const uintptr_t huge = uintptr_t{2} << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + huge - 1) & ~(huge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(huge - 1);
  if (end <= begin) return;
  // Faulting in and zero-filling 4 KiB pages one at a time cost more than the read itself.
  void* start = reinterpret_cast<void*>(begin);
  if (madvise(start, end - begin, MADV_HUGEPAGE) == 0)
    madvise(start, end - begin, MADV_POPULATE_WRITE);
}
