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

// Deletes the temporaries that WriteWholeFile left beside path when a run died mid-write.
// Only safe while no other run can be writing path (the library lock is held).
void RemoveStaleTemporaries(const Text& path);

// True when path names a file that can be opened for reading.
bool FileExists(const Text& path);

// The process's working folder as the platform reports it; empty on failure.
Text CurrentFolder();

// Makes path the working folder: 0 when done, -1 when not.
int ChangeFolder(const Text& path);

// Argument n of the argument vector; the empty text when there is no such argument.
Text CommandArgument(const std::vector<Text>& args, int n);

// Shared by the platform halves of this file.

// Reads the whole file into content: 0 when done, 2 when it cannot be opened or read, 3 when
// its length cannot be measured (the numbers ReadWholeFile shows).
int ReadFileBytes(const Text& path, Text& content);

// Spare capacity a read leaves behind its content, so that appending an area section to a
// large library does not move the whole text to a new buffer.
constexpr size_t kReadSlack = 65536;

// The name of a temporary for the file named target_name; unique tells attempts apart.
Text TemporaryName(const Text& target_name, const Text& unique);

// True when name has the shape TemporaryName gives for target_name.
bool IsTemporaryName(const Text& target_name, const Text& name);
