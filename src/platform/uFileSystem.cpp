#include "uFileSystem.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void DeleteFileIfExists(const std::string& path) { DeleteFileA(path.c_str()); }

#else

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void DeleteFileIfExists(const std::string& path) { std::remove(path.c_str()); }

#endif
