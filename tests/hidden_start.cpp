// Starts a program the way installers run tools "hidden" (STARTF_USESHOWWINDOW with SW_HIDE),
// optionally on a console of its own, and waits a bounded time for it to end by itself.
// Usage: hidden_start SECONDS [--new-console] PROGRAM [ARGUMENTS...]
// Exit code: the program's, or 99 when it was still running after SECONDS and was ended.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const bool new_console = argc > 2 && std::string(argv[2]) == "--new-console";
  std::string command;
  for (int i = new_console ? 3 : 2; i < argc; ++i) command += "\"" + std::string(argv[i]) + "\" ";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION child = {};
  if (argc < 3 || !CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                  new_console ? CREATE_NEW_CONSOLE : 0, nullptr, nullptr, &startup,
                                  &child)) {
    return 3;
  }
  DWORD code = 99;
  if (WaitForSingleObject(child.hProcess, std::atoi(argv[1]) * 1000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(child.hProcess, &code);
  } else {
    TerminateProcess(child.hProcess, 99);
  }
  return static_cast<int>(code);
}
