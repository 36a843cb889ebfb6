#include "platform/uMappedFile.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#endif

#ifdef _WIN32

namespace {
TMappedFile::TStamp StampOf(const BY_HANDLE_FILE_INFORMATION& info) {
  const auto join = [](DWORD high, DWORD low) { return static_cast<uint64_t>(high) << 32 | low; };
  TMappedFile::TStamp stamp;
  stamp.Regular = !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  stamp.Device = info.dwVolumeSerialNumber;
  stamp.Id = join(info.nFileIndexHigh, info.nFileIndexLow);
  stamp.Size = join(info.nFileSizeHigh, info.nFileSizeLow);
  stamp.Modified = static_cast<int64_t>(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
  return stamp;
}
}  // namespace

TMappedFile::TMappedFile(const std::string& fileName) : FFileName(fileName) {
  HANDLE file = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info)) {
    FStamp = StampOf(info);
    if (FStamp.Regular && FStamp.Size > 0 && FStamp.Size <= SIZE_MAX) {
      // The view keeps the mapping, and the mapping the file, alive.
      if (HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
        FData = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        if (FData) FSize = static_cast<std::size_t>(FStamp.Size);
        CloseHandle(mapping);
      }
    }
  }
  CloseHandle(file);
}

TMappedFile::~TMappedFile() {
  if (FData) UnmapViewOfFile(FData);
}

// Windows refuses to shorten a mapped file, so no page can be lost; the file
// may still be rewritten in place, which Changed notices.
void TMappedFile::Read(const std::function<void(std::string_view text)>& read) { read(Text()); }

bool TMappedFile::Changed() const {
  if (!FStamp.Regular) return false;
  // Attributes only: that access is granted whatever sharing the editor asked
  // for. Folders open too, should the name have become one.
  HANDLE file = CreateFileA(FFileName.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return !known || !(StampOf(info) == FStamp);
}

#else

namespace {
TMappedFile::TStamp StampOf(const struct stat& status) {
  const auto ticks = [](const timespec& time) { return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec; };
  TMappedFile::TStamp stamp;
  stamp.Regular = S_ISREG(status.st_mode);
  stamp.Device = static_cast<uint64_t>(status.st_dev);
  stamp.Id = static_cast<uint64_t>(status.st_ino);
  stamp.Size = static_cast<uint64_t>(status.st_size);
  stamp.Modified = ticks(status.st_mtim);
  // Changes with every write too, and cannot be set back by the writer as
  // the modification time can (by a copy that keeps times, for one).
  stamp.StatusChanged = ticks(status.st_ctim);
  return stamp;
}

// The mapping being read, for the bus error handler, which may run at any
// moment of the read: set before the handler is installed and cleared after
// it is removed. A range of its own per process, hence one read at a time.
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
std::atomic<std::uintptr_t> gGuardedBegin{0}, gGuardedEnd{0}, gPageSize{0};
std::atomic<bool> gGuardedPageLost{false};
struct sigaction gPreviousBusAction {};

void OnBusError(int signal, siginfo_t* info, void*) {
  const int savedErrno = errno;
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  // A positive code: the system raised it for an access that failed, which
  // is retried when the handler returns.
  if (info->si_code > 0 && address >= gGuardedBegin && address < gGuardedEnd) {
    // The file no longer holds this page. Zeros in its place let the reader
    // go on to an end (the text is garbage now, and the caller is told so).
    const std::uintptr_t page = address & ~(gPageSize - 1);
    if (mmap(reinterpret_cast<void*>(page), gPageSize, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) !=
        MAP_FAILED) {
      gGuardedPageLost = true;
      errno = savedErrno;
      return;
    }
  }
  // Not ours, or no memory for zeros: what would have happened without us.
  // A failed access fails again when retried, now into the previous handling;
  // a bus error that was sent does not come again by itself, so it is sent
  // anew and arrives as soon as this handler returns.
  sigaction(SIGBUS, &gPreviousBusAction, nullptr);
  if (info->si_code <= 0) raise(signal);
  errno = savedErrno;
}

// Installs OnBusError for a mapping while it lives.
class TBusErrorGuard {
public:
  TBusErrorGuard(const void* data, std::size_t size, bool& pageLost) : FPageLost(pageLost) {
    const auto pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    gPageSize = pageSize;
    gGuardedBegin = begin;
    gGuardedEnd = begin + ((size + pageSize - 1) & ~(pageSize - 1));
    gGuardedPageLost = false;
    // The previous handling is known before ours can run and need it.
    sigaction(SIGBUS, nullptr, &gPreviousBusAction);
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, nullptr);
  }
  ~TBusErrorGuard() {
    sigaction(SIGBUS, &gPreviousBusAction, nullptr);
    gGuardedBegin = 0;
    gGuardedEnd = 0;
    if (gGuardedPageLost) FPageLost = true;
  }
  TBusErrorGuard(const TBusErrorGuard&) = delete;
  TBusErrorGuard& operator=(const TBusErrorGuard&) = delete;

private:
  bool& FPageLost;
};
}  // namespace

TMappedFile::TMappedFile(const std::string& fileName) : FFileName(fileName) {
  // A pipe is left alone: opened here even for a moment, it would let its
  // writer start, which then finds no reader once we close it again and dies,
  // while the stream reader waits for a writer that never comes.
  struct stat named {};
  if (stat(fileName.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return;
  // Non-blocking all the same, should the name have become a pipe meanwhile.
  const int file = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return;
  struct stat status {};
  if (fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
    FStamp = StampOf(status);
    if (status.st_size > 0 && static_cast<uint64_t>(status.st_size) <= SIZE_MAX) {
      const auto size = static_cast<std::size_t>(status.st_size);
      // Private: pages the reader gives back are dropped, the file is untouched.
      void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file, 0);
      if (data != MAP_FAILED) {
        madvise(data, size, MADV_SEQUENTIAL);
        FData = data;
        FSize = size;
      }
    }
  }
  close(file);
}

TMappedFile::~TMappedFile() {
  // Also unmaps the zeros that stood in for lost pages.
  if (FData) munmap(FData, FSize);
}

void TMappedFile::Read(const std::function<void(std::string_view text)>& read) {
  if (!FData) {
    read(Text());
    return;
  }
  const TBusErrorGuard guard(FData, FSize, FPageLost);
  read(Text());
}

bool TMappedFile::Changed() const {
  if (FPageLost) return true;
  if (!FStamp.Regular) return false;
  struct stat status {};
  if (stat(FFileName.c_str(), &status) != 0) return true;
  return !(StampOf(status) == FStamp);
}

#endif
