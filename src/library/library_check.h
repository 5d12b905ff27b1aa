#pragma once
// CHECK: what in a library keeps the simulator or this tool from using it as meant, found in
// the bytes alone; whether a folder exists is asked of the caller.

#include <functional>
#include <string_view>

#include "text.h"

// What is wrong.
enum class Problem {
  Utf16,           // begins with a UTF-16 byte-order mark: its bytes are no text to edit
  NulBytes,        // holds NUL bytes
  NoNumberedArea,  // no area header with a number above 0: ADD and REMOVE edit nothing
  NoLayer,         // no layer entry with a number above 0: ADD and REMOVE edit nothing
  SameAreaNumber,  // the area number of an earlier header, read as a number
  SameLayer,       // the layer number of an earlier section
  NoFolderEntry,   // a section without "Local="
  NoLayerEntry,    // a section without "Layer="
  SameFolder,      // the folder of an earlier section, as ADD compares folders
  MissingFolder,   // a folder that does not exist
};

// One finding.
struct Finding {
  int line;  // 1-based line of the area header it concerns; 1 for the whole library
  Problem problem;
  Text text;  // what is wrong, in words, values escaped as LIST escapes them
};

// How a CHECK went.
struct CheckCount {
  int sections = 0;
  int findings = 0;
};

// Reports each finding in library to report, in the order of their lines. folder_exists is
// asked about each section's folder as written. A UTF-16 library gets that finding alone. Lines
// end with LF, CR LF or a lone CR. Linear in the length of library.
CheckCount CheckLibraryText(std::string_view library,
                            const std::function<bool(std::string_view)>& folder_exists,
                            const std::function<void(const Finding&)>& report);

// "line N: " and the finding's text, CR LF.
Text FindingLine(const Finding& finding);

// The closing line of CHECK, CR LF included.
Text CheckSummaryLine(const CheckCount& count);
