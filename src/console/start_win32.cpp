#include "start_win32.h"

#include <cwchar>
#include <string>

bool IsHiddenStart(DWORD startup_flags, WORD show_window, DWORD station_flags, DWORD session) {
  return ((startup_flags & STARTF_USESHOWWINDOW) && show_window == SW_HIDE) ||
         !(station_flags & WSF_VISIBLE) || session == 0;
}

OutputSink OutputSinkOf(DWORD file_type, bool has_console_mode) {
  // A printer or serial port is a character device too, but has no console mode.
  return file_type == FILE_TYPE_CHAR && has_console_mode ? OutputSink::kConsole
                                                         : OutputSink::kBytes;
}

ExactConversion ExactConversionFor(UINT code_page) {
  // UTF-8 refuses the best-fit flag and the default character question: every character has
  // bytes there, and only an unpaired surrogate fails, as it must.
  if (code_page == CP_UTF8) return {WC_ERR_INVALID_CHARS, false};
  return {WC_NO_BEST_FIT_CHARS, true};
}

bool ToCodePage(UINT code_page, const wchar_t* wide, Text* text) {
  const ExactConversion how = ExactConversionFor(code_page);
  BOOL defaulted = FALSE;
  BOOL* asks = how.reports_default ? &defaulted : nullptr;
  int n = WideCharToMultiByte(code_page, how.flags, wide, -1, nullptr, 0, nullptr, asks);
  if (n <= 0) return false;
  text->assign(n, '\0');
  if (WideCharToMultiByte(code_page, how.flags, wide, -1, text->data(), n, nullptr, asks) != n)
    return false;
  text->resize(n - 1);
  // Some code pages map without a default character yet not back to the same text.
  int back = MultiByteToWideChar(code_page, 0, text->c_str(), -1, nullptr, 0);
  if (back <= 0) return false;
  std::wstring round(back, L'\0');
  MultiByteToWideChar(code_page, 0, text->c_str(), -1, round.data(), back);
  return !defaulted && wcscmp(round.c_str(), wide) == 0;
}
