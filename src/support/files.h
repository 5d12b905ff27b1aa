#pragma once
// Whole-file transfers and the few other file-system and command-line services the tool uses.
// Failures keep the system's reason in *err for the caller to pass on.

#include <cstddef>
#include <string>
#include <vector>

#include "terminal.h"
#include "text.h"

// Separator inserted between a folder and a name: "\" on Windows, "/" elsewhere.
extern const char kPathSeparator[];

// Why ReadWholeFile failed; 2 and 3 are the numbers its message shows.
enum ReadFailure { kReadDone = 0, kCannotOpen = 2, kCannotMeasure = 3, kTooLarge = 4 };

// Reads the whole file at path into *content, byte for byte. A file of more than limit bytes,
// or one that keeps growing or never ends, is refused with kTooLarge before limit + 1 bytes
// are held. Unless quiet, kCannotOpen and kCannotMeasure are first shown on terminal as
// "Error opening file: <path>   Errorcode=<n>".
ReadFailure ReadWholeFile(const Text& path, bool quiet, Terminal& terminal, size_t limit,
                          Text* content, std::string* err);

// Replaces the file's content with content, atomically and durably, keeping what the user
// set on the file (owner, permissions, ACLs, attributes). On false the old file is
// byte-identical and no temporary file is left behind.
bool WriteWholeFile(const Text& path, const Text& content, std::string* err);

// Creates the file at path with content, atomically and durably, unless a file is already
// there: then *created is false and nothing changes. Of runs racing for one path, exactly
// one creates it.
bool WriteNewFile(const Text& path, const Text& content, bool* created, std::string* err);

// Deletes the temporaries that a dead run left beside path; those of live runs stay.
void RemoveStaleTemporaries(const Text& path);

// True when path names a file that can be opened for reading.
bool FileExists(const Text& path);

// The process's working folder as the platform reports it; empty on failure.
Text CurrentFolder();

// Makes path the working folder: 0 when done, -1 when not.
int ChangeFolder(const Text& path);

// Argument n of the argument vector; the empty text when there is no such argument.
Text CommandArgument(const std::vector<Text>& args, int n);

// The name of a temporary for the file named target_name; unique tells attempts apart.
Text TemporaryName(const Text& target_name, const Text& unique);

// True when name has the shape TemporaryName gives for target_name.
bool IsTemporaryName(const Text& target_name, const Text& name);
