#include "file_security_win32.h"

#include <cstring>

namespace {

// Whether two DACLs hold the same entries in the same order (a missing DACL only equals one).
bool SameEntries(const ACL* a, const ACL* b) {
  if (!a || !b) return a == b;
  if (a->AceCount != b->AceCount) return false;
  for (WORD i = 0; i < a->AceCount; ++i) {
    void* x = nullptr;
    void* y = nullptr;
    GetAce(const_cast<ACL*>(a), i, &x);
    GetAce(const_cast<ACL*>(b), i, &y);
    const WORD size = static_cast<ACE_HEADER*>(x)->AceSize;
    if (size != static_cast<ACE_HEADER*>(y)->AceSize || std::memcmp(x, y, size) != 0) return false;
  }
  return true;
}

bool SameSid(PSID a, PSID b) { return a && b ? EqualSid(a, b) != FALSE : a == b; }

}  // namespace

SECURITY_INFORMATION SecurityToCopy(const FileSecurity& like, const FileSecurity& now,
                                    bool other_folder, bool owner_set) {
  SECURITY_INFORMATION info = 0;
  if (!SameSid(like.owner, now.owner)) info |= OWNER_SECURITY_INFORMATION;
  if (!SameSid(like.group, now.group)) info |= GROUP_SECURITY_INFORMATION;
  if (owner_set || !SameEntries(like.dacl, now.dacl)) {
    info |= DACL_SECURITY_INFORMATION |
            (like.dacl_protected || other_folder ? PROTECTED_DACL_SECURITY_INFORMATION
                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION);
  }
  return info;
}

TemporaryStart NextStart(bool needs_dacl, bool may_change, bool made_again) {
  if (!needs_dacl || made_again) return TemporaryStart::kKeep;
  return may_change ? TemporaryStart::kLike : TemporaryStart::kThisUser;
}
