#include "platform/uFileLock.h"

#include "base/uException.h"
#include "platform/uFileSystem.h"

namespace {
// The lock file is the export's own business: when it cannot be made, what
// the user must fix is the folder it goes into, unless something of the lock
// file's name stands in the way. `reason` is the system's, taken at once.
[[noreturn]] void RaiseCannotLock(const std::string& path, const std::string& reason) {
  if (NameExists(path)) RaiseError("Cannot create file %s (%s)", {path, reason});
  std::string folder = FolderOf(path);
  if (folder.size() > 1) folder.pop_back();
  RaiseError("Cannot write into the folder %s (%s).", {folder.empty() ? "." : folder, reason});
}
}  // namespace

#ifdef _WIN32
#include <windows.h>

// Opened without sharing, the file is the lock: a second opening fails while
// the handle lives, and the system deletes the file when it is closed, also
// when the process dies.
std::unique_ptr<TFileLock> TFileLock::TryAcquire(const std::string& path) {
  if (HasZeroByte(path)) RaiseError("Cannot create file %s", {path});
  for (int attempt = 0;; ++attempt) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
      return std::unique_ptr<TFileLock>(new TFileLock(path, reinterpret_cast<intptr_t>(handle)));
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return nullptr;
    // A lock file that its last holder is deleting refuses access for a moment.
    if (error != ERROR_ACCESS_DENIED || attempt == 20) RaiseCannotLock(path, LastSystemErrorText());
    Sleep(10);
  }
}

TFileLock::~TFileLock() { CloseHandle(reinterpret_cast<HANDLE>(FHandle)); }

#else
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The lock is flock's on the open file. A holder removes the file before it
// lets go, so a process that opened the old file and then gets its lock
// finds that the name now stands for another file (or none), and tries again.
std::unique_ptr<TFileLock> TFileLock::TryAcquire(const std::string& path) {
  if (HasZeroByte(path)) RaiseError("Cannot create file %s", {path});
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) RaiseCannotLock(path, LastSystemErrorText());
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      close(descriptor);
      if (error == EWOULDBLOCK) return nullptr;
      errno = error;
      RaiseCannotLock(path, LastSystemErrorText());
    }
    struct stat opened, named;
    if (fstat(descriptor, &opened) == 0 && stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
        opened.st_ino == named.st_ino)
      return std::unique_ptr<TFileLock>(new TFileLock(path, descriptor));
    close(descriptor);
  }
  RaiseError("Cannot create file %s", {path});
}

TFileLock::~TFileLock() {
  unlink(FPath.c_str());
  close(static_cast<int>(FHandle));
}
#endif
