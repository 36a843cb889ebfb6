#pragma once
// The system's own words for why a file could not be opened, as the tool
// appends them to its messages: strerror's on POSIX, FormatMessage's on
// Windows (whose texts differ between Windows and Wine, so they are asked
// for rather than written down).

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

#include "platform/uFileSystem.h"

enum TOpenFailure { kFileNotFound, kPathNotFound };

inline std::string SystemReason(TOpenFailure failure) {
#ifdef _WIN32
  SetLastError(failure == kFileNotFound ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
#else
  // A missing file, and a path through a file that is not a folder.
  errno = failure == kFileNotFound ? ENOENT : ENOTDIR;
#endif
  return LastSystemErrorText();
}
