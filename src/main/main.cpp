#include <vector>

#include "run_main.h"

int main(int argc, char** argv) {
  std::vector<Text> args(argv, argv + argc);
  return RunMain(args);
}
