#pragma once
// The program's entry sequence.

#include <vector>

#include "text.h"

// Runs the tool on the argument vector (argument 0 is the program's path); returns the exit code.
int RunMain(const std::vector<Text>& args);
