#include <iostream>

#include "cli/uCommandLine.h"
#include "platform/uProcessMemory.h"

int main(int argc, char** argv) {
  PrepareHeaps();
  const int status = RunCommandLine(argc, argv, std::cout, std::cerr, TProgressDevice::StandardError());
  std::cout.flush();
  std::cerr.flush();
  ReleaseMemoryAfterExit();
  return status;
}
