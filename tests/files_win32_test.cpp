#include <windows.h>

#include <sddl.h>

#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "busy_win32.h"
#include "file_security_win32.h"
#include "files.h"
#include "inspect.h"
#include "library_file.h"
#include "lock_step_win32.h"
#include "rename_win32.h"
#include "start_win32.h"
#include "support_fixtures.h"

namespace {

// Only a library that is not there is missing: one a program holds while it writes it in place is
// a failure whose reason is kept, waited out rather than read half-way; few failures may pass.
TEST(FilesWin32, ReadWaitsOutAWriteInPlace) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "");
  CreateDirectoryA(folder.Path("folder.cfg").c_str(), nullptr);
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(writer, "libr", 4, &written, nullptr);
  std::string err;
  EXPECT_EQ(FileExists(path, &err), Presence::kFailed);
  for (const char* name : {"folder.cfg", "nowhere.cfg"})
    EXPECT_EQ(FileExists(folder.Path(name), &err), Presence::kAbsent) << name << ": " << err;
  std::thread finish([writer, &written] {
    Sleep(200);
    WriteFile(writer, "ary", 3, &written, nullptr);
    CloseHandle(writer);
  });
  FileContent content;
  EXPECT_EQ(ReadWholeFile(path, 1 << 20, &content, &err), kReadDone) << err;
  finish.join();
  EXPECT_EQ(content.bytes, "library");
  const DWORD file = FILE_ATTRIBUTE_NORMAL, dir = FILE_ATTRIBUTE_DIRECTORY;
  EXPECT_TRUE(MayBeBusy(ERROR_SHARING_VIOLATION, dir) && MayBeBusy(ERROR_ACCESS_DENIED, file) &&
              MayBeBusy(ERROR_ACCESS_DENIED, INVALID_FILE_ATTRIBUTES));
  EXPECT_FALSE(MayBeBusy(ERROR_ACCESS_DENIED, dir) || MayBeBusy(ERROR_FILE_NOT_FOUND, file));
}

// Only a library that is not there is missing, to LIST and CHECK too: one held by a program
// writing it is a failure to read, whose reason is kept.
TEST(FilesWin32, WhatIsAtALibraryPath) {
  ScratchFolder folder;
  for (const char* name : {"plain", "busy", "folder"})
    CreateDirectoryA(folder.Path(name).c_str(), nullptr);
  for (const char* name : {"plain", "busy"})
    WriteRaw(LibraryPath(folder.Path(name)), "[Area.1]\r\nLocal=.\r\nLayer=1\r\n");
  CreateDirectoryA(LibraryPath(folder.Path("folder")).c_str(), nullptr);
  HANDLE writer = CreateFileA(LibraryPath(folder.Path("busy")).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  const struct {
    const char* name;
    Presence found;
    Outcome inspected;
  } rows[] = {{"plain", Presence::kPresent, Outcome::Done},
              {"nowhere", Presence::kAbsent, Outcome::LibraryNotFound},
              {"folder", Presence::kAbsent, Outcome::LibraryNotFound},
              {"busy", Presence::kFailed, Outcome::LibraryNotSaved}};
  for (const auto& row : rows) {
    std::string err;
    RecordingTerminal out;
    const Text simulator = folder.Path(row.name);
    EXPECT_EQ(FileExists(LibraryPath(simulator), &err), row.found) << row.name << ": " << err;
    EXPECT_EQ(ListSceneryLibrary(simulator, out, &err), row.inspected) << row.name;
    EXPECT_EQ(CheckSceneryLibrary(simulator, out, &err), row.inspected) << row.name;
  }
  CloseHandle(writer);
}

// A run whose every temporary name is taken saves nothing; a new file whose model is gone is
// still an ordinary writable file.
TEST(FilesWin32, TemporaryNamesAndModels) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "old");
  for (int attempt = 0; attempt < 100; ++attempt) {
    const Text unique = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    WriteRaw(folder.Path(TemporaryName("scenery.cfg", unique)), "");
  }
  std::string err;
  FileContent read, gone;
  ASSERT_EQ(ReadWholeFile(path, 1 << 20, &read, &err), kReadDone);
  EXPECT_EQ(WriteWholeFile(path, {"new"}, {read, {}}, &err), WriteResult::kFailed);
  EXPECT_EQ(ReadRaw(path), "old");
  const Text copy = folder.Path("copy.cfg");
  gone.path = folder.Path("gone.cfg");
  EXPECT_EQ(WriteNewFile(copy, "x", gone, &err), WriteResult::kWritten) << err;
  EXPECT_EQ(GetFileAttributesA(copy.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

// The parts of an SDDL descriptor, which stays allocated for the rest of the test.
FileSecurity Parse(const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  FileSecurity parts;
  BOOL present = FALSE, defaulted = FALSE;
  GetSecurityDescriptorOwner(descriptor, &parts.owner, &defaulted);
  GetSecurityDescriptorGroup(descriptor, &parts.group, &defaulted);
  GetSecurityDescriptorDacl(descriptor, &present, &parts.dacl, &defaulted);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  parts.dacl_protected = control & SE_DACL_PROTECTED;
  return parts;
}

// An elevated run's temporary belongs to the installer, and its entry inherited for CREATOR
// OWNER names the installer: once the owner went back, the DACL follows, even one whose entries
// look the same. An owner that could not be set alone writes no DACL (a temporary on a share
// granting "Change" could not take one). Owner and group are set apart. A temporary needing a DACL
// of its own is made again private, or its user's where its security cannot change later.
TEST(FilesWin32, SecurityOfTheTemporary) {
  const DWORD kUnprotected = DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
  const DWORD kProtected = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
  const struct {
    const char *like, *now;
    bool other_folder, owner_set;
    DWORD copied;
  } rows[] = {{"O:BUG:BUD:(A;ID;FA;;;BU)", "O:BUG:BUD:(A;ID;FA;;;BU)", false, false, 0},
              {"O:BUG:BUD:(A;ID;FA;;;BU)", "O:BUG:BUD:(A;ID;FA;;;BU)", true, false, 0},
              {"O:BUG:BUD:(A;ID;FA;;;BU)", "O:BAG:BUD:(A;ID;FA;;;BU)", false, false,
               OWNER_SECURITY_INFORMATION},
              {"O:BUG:BUD:(A;ID;FA;;;BU)", "O:BAG:BUD:(A;ID;FA;;;BU)", false, true,
               OWNER_SECURITY_INFORMATION | kUnprotected},
              {"O:BUG:BAD:(A;ID;FA;;;BU)", "O:BUG:BUD:(A;ID;FA;;;BU)", false, false,
               GROUP_SECURITY_INFORMATION},
              {"O:BUG:BUD:(A;;FR;;;WD)", "O:BUG:BUD:P", false, false, kUnprotected},
              {"O:BUG:BUD:P(A;;FR;;;WD)", "O:BUG:BUD:P", false, false, kProtected},
              {"O:BUG:BUD:(A;ID;FR;;;WD)", "O:BUG:BUD:P", true, false, kProtected},
              {"O:BUG:BUD:(A;ID;FR;;;WD)", "O:BUG:BUD:(A;ID;FR;;;WD)(A;ID;FR;;;BA)", false, false,
               kUnprotected}};
  for (const auto& row : rows) {
    EXPECT_EQ(SecurityToCopy(Parse(row.like), Parse(row.now), row.other_folder, row.owner_set),
              row.copied)
        << row.like << " onto " << row.now << (row.owner_set ? ", owner set" : "");
  }
  EXPECT_EQ(NextStart(false, true, false), TemporaryStart::kKeep);
  EXPECT_EQ(NextStart(false, false, false), TemporaryStart::kKeep);
  EXPECT_EQ(NextStart(true, true, false), TemporaryStart::kLike);
  EXPECT_EQ(NextStart(true, false, false), TemporaryStart::kThisUser);
  EXPECT_EQ(NextStart(true, false, true), TemporaryStart::kKeep);
}

// A system or file system without POSIX renames gets the plain one; a reader holding the
// library is waited out, one sharing deleting only where it still blocks; a backup's name taken
// and any other failure stand at once.
TEST(FilesWin32, RenameAfterAFailure) {
  const auto kRetry = RenameStep::kRetry, kPlain = RenameStep::kPlainRename;
  const auto kGiveUp = RenameStep::kGiveUp;
  const struct {
    DWORD error;
    bool posix, replace, time_left;
    RenameStep next;
  } rows[] = {{ERROR_INVALID_PARAMETER, true, true, true, kPlain},
              {ERROR_NOT_SUPPORTED, true, false, false, kPlain},
              {ERROR_INVALID_PARAMETER, false, true, true, kGiveUp},
              {ERROR_SHARING_VIOLATION, true, true, true, kRetry},
              {ERROR_SHARING_VIOLATION, true, true, false, kGiveUp},
              {ERROR_SHARING_VIOLATION, true, false, true, kGiveUp},
              {ERROR_ACCESS_DENIED, false, true, true, kRetry},
              {ERROR_ACCESS_DENIED, true, true, true, kGiveUp},
              {ERROR_DISK_FULL, false, true, true, kGiveUp}};
  for (const auto& row : rows) {
    EXPECT_EQ(AfterFailedRename(row.error, row.posix, row.replace, row.time_left), row.next)
        << row.error << row.posix << row.replace << row.time_left;
  }
}

// An encrypted library's temporary is created encrypted, a compressed one's compressed; nothing
// else is taken, and nothing of attributes that could not be read.
TEST(FilesWin32, TemporaryKeepsEncryptionAndCompression) {
  const DWORD offline = FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_ARCHIVE,
              plain = FILE_ATTRIBUTE_NORMAL;
  const CreationAttributes encrypted = CreationAttributesFor(FILE_ATTRIBUTE_ENCRYPTED | offline),
                           compressed = CreationAttributesFor(FILE_ATTRIBUTE_COMPRESSED | offline),
                           other = CreationAttributesFor(offline),
                           unread = CreationAttributesFor(INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(encrypted.flags == FILE_ATTRIBUTE_ENCRYPTED && !encrypted.compress &&
              compressed.flags == plain && compressed.compress);
  EXPECT_TRUE(other.flags == plain && !other.compress && unread.flags == plain && !unread.compress);
}

// Another run's lock is waited for while the wait lasts; a file system without range locks lets
// the run go on; any other failure stands at once, its reason in the user's language (no
// character the code page lacks), trimmed to end in its number.
TEST(FilesWin32, LockAfterAFailure) {
  EXPECT_EQ(AfterFailedLock(ERROR_LOCK_VIOLATION, true), LockStep::kRetry);
  EXPECT_EQ(AfterFailedLock(ERROR_IO_PENDING, true), LockStep::kRetry);
  EXPECT_EQ(AfterFailedLock(ERROR_LOCK_VIOLATION, false), LockStep::kTimedOut);
  EXPECT_EQ(AfterFailedLock(ERROR_NOT_SUPPORTED, true), LockStep::kUnlocked);
  EXPECT_EQ(AfterFailedLock(ERROR_INVALID_FUNCTION, false), LockStep::kUnlocked);
  EXPECT_EQ(AfterFailedLock(ERROR_ACCESS_DENIED, true), LockStep::kFailed);
  for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
    SetLastError(error);
    const std::string text = SystemError(), end = " (error " + std::to_string(error) + ")";
    EXPECT_TRUE(text.size() > end.size() && text.ends_with(end) &&
                text.find('?') == std::string::npos && !text.starts_with("unknown") &&
                !strchr("\r\n .", text[text.size() - end.size() - 1]))
        << text;
  }
}

// Nobody sees a start asked to hide, nor one on a service's or a background task's station, nor
// one in session 0, whatever its station says; another show command, or SW_HIDE not given as the
// show command, shows it. Ctrl+C is no close. Only a console takes characters.
TEST(StartWin32, HiddenStartsAndOutputSinks) {
  const DWORD show = STARTF_USESHOWWINDOW, seen = WSF_VISIBLE;
  EXPECT_TRUE(IsHiddenStart(show, SW_HIDE, seen, 1) && IsHiddenStart(show, SW_SHOWNORMAL, 0, 1) &&
              IsHiddenStart(0, SW_SHOWNORMAL, seen, 0));
  EXPECT_FALSE(IsHiddenStart(show, SW_SHOWMINNOACTIVE, seen, 1) ||
               IsHiddenStart(0, SW_HIDE, seen, 2));
  EXPECT_TRUE(IsCloseEvent(CTRL_CLOSE_EVENT) && IsCloseEvent(CTRL_LOGOFF_EVENT) &&
              IsCloseEvent(CTRL_SHUTDOWN_EVENT) && !IsCloseEvent(CTRL_C_EVENT));
  EXPECT_EQ(OutputSinkOf(FILE_TYPE_CHAR, true), OutputSink::kConsole);
  for (DWORD type : {FILE_TYPE_CHAR, FILE_TYPE_DISK, FILE_TYPE_PIPE})  // NUL, a file, a pipe
    EXPECT_EQ(OutputSinkOf(type, type != FILE_TYPE_CHAR), OutputSink::kBytes) << type;
}

// UTF-8 refuses the others' flags and default-character question (Wine does not), so the
// choice is checked; a failing call (an unpaired surrogate, no such code page) is inexact.
TEST(StartWin32, ArgumentsConvertExactlyOrNotAtAll) {
  EXPECT_EQ(ExactConversionFor(CP_UTF8).flags, DWORD{WC_ERR_INVALID_CHARS});
  EXPECT_EQ(ExactConversionFor(1252).flags, DWORD{WC_NO_BEST_FIT_CHARS});
  EXPECT_TRUE(!ExactConversionFor(CP_UTF8).reports_default &&
              ExactConversionFor(1252).reports_default);
  Text text;
  EXPECT_TRUE(ToCodePage(CP_UTF8, L"\x141\xf3\x64\x17a", &text));
  EXPECT_EQ(text, "\xc5\x81\xc3\xb3\x64\xc5\xba");
  EXPECT_FALSE(ToCodePage(CP_UTF8, L"a\xd800", &text) || ToCodePage(9, L"abc", &text));
}

}  // namespace
