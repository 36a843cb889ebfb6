#pragma once
// An exclusive lock held by this process through an open lock file. It is the
// operating system's lock: it ends with the process, so a crash leaves
// nothing that blocks the next run, and the file is removed on release.

#include <cstdint>
#include <memory>
#include <string>

class TFileLock {
public:
  // The lock, or nullptr at once when another process holds it. Raises
  // "Cannot write into the folder %s (reason)." when the lock file's folder
  // refuses it, "Cannot create file %s (reason)" when something else has its
  // name.
  static std::unique_ptr<TFileLock> TryAcquire(const std::string& path);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

private:
  TFileLock(std::string path, intptr_t handle) : FPath(std::move(path)), FHandle(handle) {}
  std::string FPath;
  intptr_t FHandle;
};
