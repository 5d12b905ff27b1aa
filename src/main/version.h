#pragma once
// The program's version, for --version and for the version resource of sceneryreg.exe. The
// resource compiler reads this file too, so it holds nothing but #defines.

#define SCENERYREG_VERSION_MAJOR 1
#define SCENERYREG_VERSION_MINOR 0
#define SCENERYREG_VERSION_PATCH 0
// The three numbers above, as text.
#define SCENERYREG_VERSION_TEXT "1.0.0"
