#include "text.h"

const char kPathSeparator[] = "/";

std::u32string SystemCharacters(std::string_view t) { return Utf8Characters(t); }
