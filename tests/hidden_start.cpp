// Starts a program the way installers run tools "hidden" (STARTF_USESHOWWINDOW with SW_HIDE),
// optionally on a console of its own, and waits a bounded time for it to end by itself.
// Usage: hidden_start SECONDS [--new-console] PROGRAM [ARGUMENTS...]
// Exit code: the program's, or 99 when it was still running after SECONDS and was ended.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const DWORD wait_ms = static_cast<DWORD>(std::atoi(argv[1]) * 1000);
  int first = 2;
  DWORD flags = 0;
  if (std::strcmp(argv[first], "--new-console") == 0) {
    flags = CREATE_NEW_CONSOLE;
    ++first;
  }
  std::string command;
  for (int i = first; i < argc; ++i) command += std::string(i > first ? " \"" : "\"") + argv[i] + "\"";

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                      &startup, &child)) {
    return 3;
  }
  DWORD code = 99;
  if (WaitForSingleObject(child.hProcess, wait_ms) == WAIT_OBJECT_0) {
    GetExitCodeProcess(child.hProcess, &code);
  } else {
    TerminateProcess(child.hProcess, 99);
  }
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  return static_cast<int>(code);
}
