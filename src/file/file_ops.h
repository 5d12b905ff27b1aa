#pragma once
// The platform's file primitives under the whole-file services of files.h. Each does one
// step and, when it fails, returns false with the system's reason in *err.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "file_types.h"
#include "text.h"

// Sets *err to what and the system's reason for the last failed call; false, for a failing step
// to return.
bool Fail(std::string* err, const Text& what);

// The file a write to path really lands in: symbolic links followed (on Windows junctions
// too, and "/" turned into "\"). A missing file at the end is no failure, and leaves the path
// as given; a link on the way that cannot be inspected or read is.
bool ResolvePath(const Text& path, Text* resolved, std::string* err);

// The folder part of path, with its separator ("" for a bare name).
Text FolderOf(const Text& path);

// Opens the file at path for reading, sharing it with a concurrent replace and waiting out
// the moment of one; a folder does not open.
bool OpenForReading(const Text& path, FileHandle* file, std::string* err);

// Whether a file held open stops a replace of it by rename, this tool's and other programs':
// then a file read is let go once read, and opened again for a moment when it is needed.
bool OpenFileBlocksReplace();

// Whether what a failed OpenForReading of path found there is no file: nothing at all, or a
// folder. Anything else (a file held by another program, denied, unreadable) is a failure.
bool NoFileAt(const Text& path);

// What the open file is now.
bool StampOfFile(FileHandle file, FileStamp* stamp, std::string* err);

// What the file that path leads to is now.
bool StampAtPath(const Text& path, FileStamp* stamp, std::string* err);

// Whether the open file is a regular file on a disk; false, with the reason in *err, for a
// device, pipe or socket, whose bytes are no library.
bool IsDiskFile(FileHandle file, const Text& path, std::string* err);

// The length of an open file (0 for a device that has none).
bool MeasureFile(FileHandle file, int64_t* length, std::string* err);

// Reads at most size bytes into data; *got is 0 at the end of the file.
bool ReadSome(FileHandle file, char* data, size_t size, size_t* got, std::string* err);

// Closes *file, when open.
void CloseFile(FileHandle* file);

// Whether a new file may take target's place, and whether there is a file there now: kFailed
// when target is a folder, is marked read-only or cannot be inspected.
Presence CheckReplaceable(const Text& target, std::string* err);

// Whether anything is at path itself, a link (even a dangling one) or a reparse point
// included, which is not followed.
Presence NameTaken(const Text& path, std::string* err);

// Creates an empty temporary file beside target, named by TemporaryName, that stays held
// until closed: RemoveUnlessHeld passes it over meanwhile. When like is given, nobody but this
// process's user may open it until CopyMetadata gives it like's permissions, unless (Windows)
// it has them already from its folder.
bool CreateTemporary(const Text& target, const Text& like, Text* temporary, FileHandle* file,
                     std::string* err);

// Writes all size bytes of data.
bool WriteAll(FileHandle file, const char* data, size_t size, std::string* err);

// Forces what was written to file onto the disk.
bool FlushFile(FileHandle file, std::string* err);

// Renames the temporary to target, over an existing file when replace, and otherwise only
// when target does not exist yet (kNameTaken when it did).
WriteResult MoveIntoPlace(FileHandle temporary, const Text& temporary_path, const Text& target,
                          bool replace, std::string* err);

// Closes and deletes a temporary that was not moved into place.
void DiscardTemporary(FileHandle* temporary, const Text& temporary_path);

// Makes a rename in target's folder survive a power cut, where the platform needs it.
void SyncFolder(const Text& target);

// The names of the entries of folder ("" for the working folder).
std::vector<Text> ListFolder(const Text& folder);

// Deletes the file at path unless a live run holds it as its temporary, whoever owns it:
// deleting needs only the folder. unique is the part of its name that TemporaryName was given.
void RemoveUnlessHeld(const Text& path, const Text& unique);
