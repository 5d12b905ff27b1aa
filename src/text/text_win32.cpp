#include <windows.h>

#include <climits>

#include "text.h"

const char kPathSeparator[] = "\\";

std::u32string SystemCharacters(std::string_view t) {
  std::u32string characters;
  if (t.empty() || t.size() > INT_MAX) return characters;
  const int size = static_cast<int>(t.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, t.data(), size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, t.data(), size, wide.data(), static_cast<int>(wide.size()));
  for (size_t i = 0; i < wide.size(); ++i) {
    const char32_t unit = wide[i];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() &&
                      wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
    if (pair) {
      characters.push_back(0x10000 + ((unit - 0xD800) << 10) + (wide[++i] - 0xDC00));
    } else {
      characters.push_back(unit >= 0xD800 && unit <= 0xDFFF ? kReplacementCharacter : unit);
    }
  }
  return characters;
}
