#pragma once
// Paths written with "/" in a test, as the code under test builds them: with
// the platform's delimiter ("\" on Windows).

#include <algorithm>
#include <string>
#include <vector>

#include "platform/uFileSystem.h"

inline std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '/', PathDelimiter);
  return path;
}

inline std::vector<std::string> NativePaths(std::vector<std::string> paths) {
  for (std::string& path : paths) path = NativePath(path);
  return paths;
}
