#include "memory.h"

// Windows gives large pages only through VirtualAlloc and only to holders of the lock-memory
// privilege, which an installer's run does not have: the heap buffer stays as it is.
void BackWithHugePages(char*, size_t) {}
