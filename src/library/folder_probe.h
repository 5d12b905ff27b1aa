#pragma once
// Where a folder entry of the library leads, and whether a folder is there.

#include <string_view>

#include "text.h"

// The folder that the entry written names: as written when it is absolute, else taken from
// simulator_folder, as the simulator takes it.
Text EntryFolder(const Text& simulator_folder, std::string_view written);

// True when path leads to a folder.
bool IsFolder(const Text& path);
