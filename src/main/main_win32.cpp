#include <windows.h>

#include "run_main.h"
#include "start_win32.h"

// Asks the start-up code to expand * and ? in arguments into matching file names, as
// installers written for this tool expect of the Windows C runtime. The expansion works on the
// arguments as typed, so a character the code page lacks can never become a wildcard.
extern "C" {
extern int _dowildcard;
int _dowildcard = -1;
}

int wmain(int argc, wchar_t** argv) {
  CommandLine command_line;
  for (int i = 0; i < argc; ++i) {
    Text arg;
    // The system's code page, the bytes the library is kept in.
    command_line.inexact.push_back(!ToCodePage(GetACP(), argv[i], &arg));
    command_line.args.push_back(arg);
  }
  return RunMain(command_line);
}
