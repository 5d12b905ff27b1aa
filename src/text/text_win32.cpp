#include "text.h"

const char kPathSeparator[] = "\\";
