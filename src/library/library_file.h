#pragma once
// How the editor sees scenery.cfg: where the files are, what it searches for, how it reads and
// writes numbers, and the bytes of the area section it appends.

#include <cstdint>

#include "text.h"

// Search patterns, upper-cased; the library is searched for them without regard to case.
extern const char kAreaHeaderPattern[];   // "[AREA."
extern const char kLayerEntryPattern[];   // "LAYER="
extern const char kTitleEntryPattern[];   // "TITLE="
extern const char kFolderEntryPattern[];  // "LOCAL="

// simulator_folder, the platform's separator, "scenery.cfg".
Text LibraryPath(const Text& simulator_folder);

// product_folder, the platform's separator, "scenery_beforeinstall.cfg".
Text BackupPath(const Text& product_folder);

// The whole number written behind the area header or layer entry that starts at pos (1-based)
// in library: at most 8 characters after the delimiter ("." or "="), rounded half to even;
// 0 when there is none, when it is not finite or when it does not fit 32 bits.
int32_t NumberAfter(const Text& library, int pos, const Text& delimiter);

// n in decimal with leading zeros up to three digits ("007", "045", "100", "1000").
Text FormatAreaNumber(int32_t n);

// The bytes appended to the library for a new area, opening and closing line ends included.
Text AreaSectionText(int32_t area_number, int32_t layer_number, const Text& title,
                     const Text& folder);

// First position in library of "Title=" and title, letters matched without case, standing as
// a whole value: followed only by blanks or tabs up to CR, LF or the end of the text. 0 when
// there is none.
int FindTitleEntry(const Text& library, const Text& title);

// As FindTitleEntry for "Local=" and folder, where the value may also end in one "\" or "/".
int FindFolderEntry(const Text& library, const Text& folder);
