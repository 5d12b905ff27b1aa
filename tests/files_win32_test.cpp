#include <windows.h>

#include <thread>

#include <gtest/gtest.h>

#include "files.h"
#include "start_win32.h"
#include "support_fixtures.h"

namespace {

// A run replacing the library holds it unshared for a moment; a reader waits that out instead
// of taking the library for missing.
TEST(FilesWin32, ReadWaitsOutAShortSharingViolation) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  WriteRaw(path, "library");
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::thread release([holder] { Sleep(200); CloseHandle(holder); });
  RecordingTerminal terminal;
  Text content;
  std::string err;
  EXPECT_EQ(ReadWholeFile(path, false, terminal, 1 << 20, &content, &err), kReadDone) << err;
  release.join();
  EXPECT_EQ(content + terminal.shown, "library");
}

// Nobody sees a start asked to hide, nor one on a service's or a background task's station; a
// show command other than SW_HIDE, or SW_HIDE not given as the show command, shows it.
TEST(StartWin32, HiddenStarts) {
  const DWORD show = STARTF_USESHOWWINDOW, seen = WSF_VISIBLE;
  EXPECT_TRUE(IsHiddenStart(show, SW_HIDE, seen) && IsHiddenStart(show, SW_SHOWNORMAL, 0));
  EXPECT_FALSE(IsHiddenStart(show, SW_SHOWMINNOACTIVE, seen) || IsHiddenStart(0, SW_HIDE, seen));
}

// UTF-8 refuses the others' flags and default-character question (Wine does not), so the
// choice is checked; a failing call (an unpaired surrogate, no such code page) is inexact.
TEST(StartWin32, ArgumentsConvertExactlyOrNotAtAll) {
  EXPECT_EQ(ExactConversionFor(CP_UTF8).flags, DWORD{WC_ERR_INVALID_CHARS});
  EXPECT_EQ(ExactConversionFor(1252).flags, DWORD{WC_NO_BEST_FIT_CHARS});
  EXPECT_FALSE(ExactConversionFor(CP_UTF8).reports_default);
  EXPECT_TRUE(ExactConversionFor(1252).reports_default);
  Text text;
  EXPECT_TRUE(ToCodePage(CP_UTF8, L"\x141\xf3" L"d\x17a", &text));
  EXPECT_EQ(text, "\xc5\x81\xc3\xb3" "d\xc5\xba");
  EXPECT_FALSE(ToCodePage(CP_UTF8, L"a\xd800", &text) || ToCodePage(9, L"abc", &text));
}

}  // namespace
