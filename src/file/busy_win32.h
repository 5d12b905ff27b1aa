#pragma once
// Which failures to open a file on Windows last only a moment: a decision of numbers alone,
// which the tests run through a table.

#include <windows.h>

// Whether an open that failed with error may succeed soon, attributes being the path's
// (INVALID_FILE_ATTRIBUTES when unreadable): another run may be replacing the file right now,
// and for that moment it is refused with a sharing violation, or denied while its replacement is
// pending. A folder is denied for good.
bool MayBeBusy(DWORD error, DWORD attributes);
