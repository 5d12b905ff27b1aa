#pragma once
// How the program's one large buffer, the library as read, is backed by memory.

#include <cstddef>

// Backs the whole 2 MiB stretches of [data, data + size) with huge pages where the system
// offers them, and faults them in at once: a buffer the size of a large library then costs
// a few dozen page faults instead of one for every 4 KiB. Only a hint: the bytes stay as they
// are, and a system without huge pages leaves the buffer as it was.
void BackWithHugePages(char* data, size_t size);
