#pragma once
// Whole-file transfers and the few other file-system and command-line services the tool uses.

#include <optional>
#include <vector>

#include "terminal.h"
#include "text.h"

// Separator inserted between a folder and a name: "\" on Windows, "/" elsewhere.
extern const char kPathSeparator[];

// The file's whole content, byte for byte, or nullopt when it cannot be opened or read.
// Unless quiet, a failure first shows "Error opening file: <path>   Errorcode=<n>" on terminal.
std::optional<Text> ReadWholeFile(const Text& path, bool quiet, Terminal& terminal);

// Replaces the file's content with content, atomically and durably; true when it is in place.
// On false the old file is byte-identical and no temporary file is left behind.
bool WriteWholeFile(const Text& path, const Text& content);

// True when path names a file that can be opened for reading.
bool FileExists(const Text& path);

// The process's working folder as the platform reports it; empty on failure.
Text CurrentFolder();

// Makes path the working folder: 0 when done, -1 when not.
int ChangeFolder(const Text& path);

// Argument n of the argument vector; the empty text when there is no such argument.
Text CommandArgument(const std::vector<Text>& args, int n);
