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

// Nobody sees a process asked to start hidden, nor one on a service's or a background task's
// window station; a show command that is not SW_HIDE, or not given at all, shows it.
TEST(StartWin32, HiddenStarts) {
  const struct {
    DWORD startup_flags;
    WORD show_window;
    DWORD station_flags;
    bool hidden;
  } cases[] = {
      {STARTF_USESHOWWINDOW, SW_HIDE, WSF_VISIBLE, true},
      {STARTF_USESHOWWINDOW, SW_SHOWMINNOACTIVE, WSF_VISIBLE, false},
      {0, SW_HIDE, WSF_VISIBLE, false},
      {STARTF_USESHOWWINDOW, SW_SHOWNORMAL, 0, true},
      {0, 0, 0, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsHiddenStart(c.startup_flags, c.show_window, c.station_flags), c.hidden)
        << c.startup_flags << " " << c.show_window << " " << c.station_flags;
  }
}

// UTF-8 as the system code page refuses the flags and the default-character question of the
// others, so every argument would fail; Wine does not refuse them, so the choice is checked.
// Each argument converts exactly, or counts as inexact, also when the call itself fails.
TEST(StartWin32, ArgumentsConvertExactlyOrNotAtAll) {
  EXPECT_EQ(ExactConversionFor(CP_UTF8).flags, static_cast<DWORD>(WC_ERR_INVALID_CHARS));
  EXPECT_FALSE(ExactConversionFor(CP_UTF8).reports_default);
  EXPECT_EQ(ExactConversionFor(1252).flags, static_cast<DWORD>(WC_NO_BEST_FIT_CHARS));
  EXPECT_TRUE(ExactConversionFor(1252).reports_default);
  const struct {
    UINT code_page;
    const wchar_t* wide;
    const char* bytes;  // nullptr: inexact
  } cases[] = {
      {CP_UTF8, L"\x141\xf3" L"d\x17a", "\xc5\x81\xc3\xb3" "d\xc5\xba"},
      {1252, L"Caf\xe9", "Caf\xe9"},
      {1252, L"\x141\xf3" L"d\x17a", nullptr},  // best fit would make it Lodz
      {CP_UTF8, L"a\xd800", nullptr},           // an unpaired surrogate
      {9, L"abc", nullptr},                     // a code page the call refuses
  };
  for (const auto& c : cases) {
    Text text;
    const bool exact = ToCodePage(c.code_page, c.wide, &text);
    EXPECT_EQ(exact, c.bytes != nullptr) << c.code_page << " " << text;
    if (exact && c.bytes) {
      EXPECT_EQ(text, c.bytes);
    }
  }
}

}  // namespace
