#include "platform/RunningProgram.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <vector>
#endif

std::string RunningProgramPath() {
#ifdef _WIN32
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
#else
  // The link names the file the process was started from, wherever it was
  // called from and whatever its first argument said.
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  return length > 0 && static_cast<std::size_t>(length) < path.size() ? std::string(path.data(), static_cast<std::size_t>(length))
                                                                      : std::string();
#endif
}
