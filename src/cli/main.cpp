#include <iostream>

#include "cli/uCommandLine.h"

int main(int argc, char** argv) {
  return RunCommandLine(argc, argv, std::cout, std::cerr, TProgressDevice::StandardError());
}
