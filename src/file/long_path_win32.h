#pragma once
// Paths as the file layer hands them to the system on Windows: the wide calls, with the
// \\?\ prefix that lifts the MAX_PATH limit from libraries, locks, temporaries and backups.

#include <string>

#include "text.h"

// text, in the ANSI code page, as UTF-16.
std::wstring Wide(const Text& text);

// wide in the ANSI code page, unless a character does not survive the way there and back: a
// best-fit stand-in could name another file.
bool Narrow(const std::wstring& wide, Text* text);

// path made full, with "/" as "\", under \\?\ (\\?\UNC\ for a share); a device path \\.\ is
// taken as the \\?\ path it names, and a \\?\ path is taken as it is.
std::wstring LongPath(const Text& path);

// A \\?\ path from the system as the rest of the file layer names it: \\?\C:\x as C:\x,
// \\?\UNC\host\x as \\host\x; any other stays as it is.
std::wstring PlainPath(const std::wstring& path);
