#include "run_main.h"

int main(int argc, char** argv) {
  return RunMain({std::vector<Text>(argv, argv + argc), std::vector<bool>(argc, false)});
}
