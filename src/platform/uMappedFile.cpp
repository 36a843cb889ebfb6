#include "uMappedFile.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

TMappedFile::TMappedFile(const std::string& fileName) {
  HANDLE file = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
      static_cast<unsigned long long>(size.QuadPart) <= SIZE_MAX) {
    // The view keeps the mapping, and the mapping the file, alive.
    if (HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
      FData = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
      if (FData) FSize = static_cast<std::size_t>(size.QuadPart);
      CloseHandle(mapping);
    }
  }
  CloseHandle(file);
}

TMappedFile::~TMappedFile() {
  if (FData) UnmapViewOfFile(FData);
}

#else

TMappedFile::TMappedFile(const std::string& fileName) {
  // Non-blocking, so that opening a FIFO does not wait for a writer.
  const int file = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return;
  struct stat status {};
  if (fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    const auto size = static_cast<std::size_t>(status.st_size);
    // Private: pages the reader gives back are dropped, the file is untouched.
    void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file, 0);
    if (data != MAP_FAILED) {
      madvise(data, size, MADV_SEQUENTIAL);
      FData = data;
      FSize = size;
    }
  }
  close(file);
}

TMappedFile::~TMappedFile() {
  if (FData) munmap(FData, FSize);
}

#endif
