#pragma once
// What a replacement must keep of the file it replaces, beyond its bytes: ownership, permissions,
// ACLs, extended attributes and security descriptors, each platform's own.

#include <string>

#include "file_types.h"
#include "text.h"

// Gives the open temporary what the user set on the file like: owner and group where
// permitted, permission bits, the access ACL or none, and extended attributes (POSIX);
// creation time, attributes, and owner, group and DACL where they differ (Windows). When the
// temporary cannot belong to like's owner, an ACL entry keeps the owner's rights; false where
// there is no ACL.
bool CopyMetadata(const Text& like, FileHandle temporary, const Text& temporary_path,
                  std::string* err);
