#include <windows.h>

#include <cwchar>
#include <string>

#include "run_main.h"

// Asks the start-up code to expand * and ? in arguments into matching file names, as
// installers written for this tool expect of the Windows C runtime. The expansion works on the
// arguments as typed, so a character the code page lacks can never become a wildcard.
extern "C" {
extern int _dowildcard;
int _dowildcard = -1;
}

namespace {

// The argument in the system's code page, the bytes the library is kept in; false when a
// character has no exact counterpart there (no look-alike is taken instead).
bool ToCodePage(const wchar_t* wide, Text* text) {
  BOOL defaulted = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr,
                              &defaulted);
  if (n <= 0) return false;
  text->assign(n, '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, text->data(), n, nullptr,
                      &defaulted);
  text->resize(n - 1);
  // Some code pages map without a default character yet not back to the same text.
  int back = MultiByteToWideChar(CP_ACP, 0, text->c_str(), -1, nullptr, 0);
  std::wstring round(back > 0 ? back : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text->c_str(), -1, round.data(), back);
  return !defaulted && wcscmp(round.c_str(), wide) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  CommandLine command_line;
  for (int i = 0; i < argc; ++i) {
    Text arg;
    command_line.inexact.push_back(!ToCodePage(argv[i], &arg));
    command_line.args.push_back(arg);
  }
  return RunMain(command_line);
}
