#include "long_path_win32.h"

#include <windows.h>

#include <algorithm>

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::wstring Wide(const Text& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

bool Narrow(const std::wstring& wide, Text* text) {
  const int size = static_cast<int>(wide.size());
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  Text narrow(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), size, narrow.data(), n, nullptr, nullptr);
  if (Wide(narrow) != wide) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  *text = narrow;
  return true;
}

std::wstring LongPath(const Text& path) {
  std::wstring wide = Wide(path);
  // Past \\?\ the system takes every character literally, "/" and ".." included. With a
  // "/" among its separators ("//?/"), it is a device path that the system normalizes, as \\.\.
  if (StartsWith(wide, L"\\\\?\\")) return wide;
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  if (StartsWith(wide, L"\\\\?\\")) wide[2] = L'.';
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), size, full.data(), nullptr));
  if (full.empty()) return wide;
  if (StartsWith(full, L"\\\\.\\")) return L"\\\\?\\" + full.substr(4);
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring PlainPath(const std::wstring& path) {
  if (StartsWith(path, L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (StartsWith(path, L"\\\\?\\") && path.size() > 6 && path[5] == L':') return path.substr(4);
  return path;
}
