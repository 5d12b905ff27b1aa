#pragma once
// The one kind of file lock the POSIX build takes, for the library and for temporaries.

// Takes an exclusive lock (or, when shared, one that only an exclusive lock excludes) on the
// open file fd without waiting; false when another open file holds one that excludes it. The
// lock belongs to this open file, not to the process, so closing another descriptor of the
// same file does not drop it, and it goes when fd is closed or the process dies. It works on
// network file systems when fd is open for writing (for reading, when shared).
bool TryLockFile(int fd, bool shared);
