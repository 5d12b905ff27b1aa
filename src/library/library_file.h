#pragma once
// How the editor sees scenery.cfg: where the files are, what it searches for, how it reads and
// writes numbers, and the bytes of the area section it appends.

#include <cstdint>

#include "byte_source.h"
#include "text.h"

// simulator_folder, the platform's separator, "scenery.cfg".
Text LibraryPath(const Text& simulator_folder);

// product_folder, the platform's separator, "scenery_beforeinstall.cfg".
Text BackupPath(const Text& product_folder);

// The whole number written behind the area header or layer entry that starts at pos (1-based)
// in library: at most 8 characters after the delimiter ("." or "="), rounded half to even;
// 0 when there is none, when it is not finite or when it does not fit 32 bits.
int32_t NumberAfter(std::string_view library, int pos, char delimiter);

// n in decimal with leading zeros up to three digits ("007", "045", "100", "1000").
Text FormatAreaNumber(int32_t n);

// The bytes appended to the library for a new area, opening and closing line ends included.
Text AreaSectionText(int32_t area_number, int32_t layer_number, const Text& title,
                     const Text& folder);

// What the one walk over a library finds. Layer, title and folder entries all have their
// first "=" as their sixth byte, and an area header its "A" as its second, so the walk stops
// only where one of them can start.
struct LibraryScan {
  int32_t highest_area = 0;   // the highest area number, 0 when none is above 0
  int32_t highest_layer = 0;  // the highest layer number, 0 when none is above 0
  int title_pos = 0;          // the first title entry, 0 when there is none
  int folder_pos = 0;         // the first folder entry, 0 when there is none
  int section_start = 0;      // the last area header before the folder entry, or 0
  int section_end = 0;        // the first area header after it, or the length of library
  bool operator==(const LibraryScan&) const = default;
};

// Scans library for area headers, layer entries ("Layer=", also at the end of a longer key),
// title entries ("Title=" and title) and folder entries ("Local=" and folder), letters matched
// without case. A title or folder counts only as a whole value: followed by nothing but blanks
// or tabs up to CR, LF or the end of the text, a folder also by one "\" or "/" before them.
// Section bounds are 0 without a folder entry. Linear in the length of library whatever the
// title and folder. until_folder asks only for what a REMOVE needs, the first folder entry,
// its section and whether each number is above 0, and lets the walk end soon after the entry:
// the numbers are then only those of the library's first areas, and title_pos is 0. The walk
// until the folder entry looks at copies from copies, when given, rather than at the library.
LibraryScan ScanLibrary(std::string_view library, const Text& title, const Text& folder,
                        bool until_folder = false, const ByteSource* copies = nullptr);

// How ScanLibrary's walk is shared out.
struct ScanPlan {
  size_t chunk;               // bytes walked as one piece; pieces are taken in order
  int threads;                // threads taking pieces side by side, the calling one included
  bool until_folder = false;  // as for ScanLibrary: no piece after the folder entry's is walked
  const ByteSource* copies = nullptr;  // as for ScanLibrary
};

// ScanLibrary as plan shares it out: the same result for any plan without until_folder, and
// the same folder entry and section, and numbers above 0 alike, for any plan with it.
LibraryScan ScanLibraryInParts(std::string_view library, const Text& title, const Text& folder,
                               const ScanPlan& plan);
