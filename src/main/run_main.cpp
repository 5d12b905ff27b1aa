#include "run_main.h"

int RunMain(const std::vector<Text>&) { return 0; }
