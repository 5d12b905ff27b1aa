#pragma once
// The change a run would make to the library, shown as a unified diff.

#include <cstddef>
#include <string_view>

#include "text.h"

// What diff -u prints, with 3 lines of context and the names old_name and new_name on its
// "---" and "+++" lines, for before against the text that before becomes when its bytes
// [from, to) (0-based) are replaced by inserted: one hunk, lines cut after each LF and shown
// with every other byte (CR included) as it is. Empty when the two texts are the same. Lines
// common to both ends are taken off first, as diff does; the lines left between them are all
// shown as changed, where diff might still find one line that the two share.
Text UnifiedDiff(std::string_view before, size_t from, size_t to, std::string_view inserted,
                 const Text& old_name, const Text& new_name);
