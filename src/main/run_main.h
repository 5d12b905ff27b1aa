#pragma once
// The program's entry sequence.

#include <vector>

#include "text.h"

// The program's arguments in the bytes the tool works in; argument 0 is the program's path.
struct CommandLine {
  std::vector<Text> args;
  // Arguments the system's code page cannot hold (Windows): their text is not what the caller
  // typed, so they are refused rather than used.
  std::vector<bool> inexact;
};

// Runs the tool on the command line; returns the exit code.
int RunMain(const CommandLine& command_line);
