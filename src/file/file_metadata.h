#pragma once
// What a replacement must keep of the file it replaces, beyond its bytes: ownership, permissions,
// ACLs, extended attributes and security descriptors, each platform's own.

#include <string>

#include "file_types.h"
#include "text.h"

// Gives the open temporary what the user set on the open file like, named like_path: owner and
// group where permitted, permission bits, the access ACL or none, and extended attributes
// (POSIX); creation time, attributes, and owner, group and DACL where they differ (Windows).
// Everything is taken from like itself, never by its name, which may lead elsewhere by now.
// When the temporary cannot belong to like's owner, an ACL entry keeps the owner's rights,
// and no other entry gains any; false where there is no ACL.
bool CopyMetadata(FileHandle like, const Text& like_path, FileHandle temporary,
                  const Text& temporary_path, std::string* err);
