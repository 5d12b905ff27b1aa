#pragma once
// Which parts of a file's security its replacement must still be given on Windows, and how a
// temporary that is to take them starts: the decisions, and the one question the creation of a
// temporary asks of the calls that read and write security (file_metadata_win32.cpp).

#include <windows.h>

#include <string>

#include "text.h"

// The parts of a file's security descriptor that a replacement keeps.
struct FileSecurity {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = nullptr;  // null: no DACL at all, which lets everybody do anything
  bool dacl_protected = false;
};

// What of like's security a file that has now must still be given: owner and group where they
// differ, and the DACL where its entries differ or (owner_set) the owner was just changed to
// like's, since entries inherited for CREATOR OWNER must then name the new owner. An owner that
// could not be set changes no DACL: a temporary opened without WRITE_DAC could not take it. The
// DACL goes protected where like's is, or where like lives in another folder, whose
// inheritance must not widen it.
SECURITY_INFORMATION SecurityToCopy(const FileSecurity& like, const FileSecurity& now,
                                    bool other_folder, bool owner_set);

// What becomes of a temporary that was created with what its folder gives.
enum class TemporaryStart {
  kKeep,      // it needs no DACL of its own, or was made again already
  kLike,      // made again with like's DACL
  kThisUser,  // its security cannot be changed later: made again as this user's alone
};

// needs_dacl: like's DACL differs from what the temporary got; may_change: it was
// opened with the right to change its security, which a network share granting "Change" but
// not "Full Control" refuses; made_again: it was made again already.
TemporaryStart NextStart(bool needs_dacl, bool may_change, bool made_again);

// Whether like's DACL differs from what the new temporary got: only then does it need a DACL of
// its own. One that cannot be read is taken to differ.
bool NeedsOwnDacl(const Text& like, HANDLE temporary, const Text& temporary_path);

// A self-relative descriptor that holds like's DACL alone, as a new file at temporary_path is
// to start with it: frozen and protected where like lives in another folder, so that the
// folder cannot widen it. Empty when like's security cannot be read.
std::string StartingSecurity(const Text& like, const Text& temporary_path);
