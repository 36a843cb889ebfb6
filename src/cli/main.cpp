#include <iostream>

#include "base/Parallel.h"
#include "cli/uCommandLine.h"
#include "platform/uProcessMemory.h"

int main(int argc, char** argv) {
  // Every thread that will allocate beside this one: the reading threads, the
  // workers that follow them, and the one that flushes finished files.
  PrepareThreadHeaps(WorkerCount());
  const int status = RunCommandLine(argc, argv, std::cout, std::cerr, TProgressDevice::StandardError());
  std::cout.flush();
  std::cerr.flush();
  ReleaseMemoryAfterExit();
  return status;
}
