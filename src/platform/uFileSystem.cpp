#include "uFileSystem.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "uException.h"

namespace {
struct TFileCloser {
  void operator()(std::FILE* file) const { FileOperations.Close(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

bool CopyContent(std::FILE* from, std::FILE* to) {
  char buffer[64 * 1024];
  for (;;) {
    std::size_t count = 0;
    if (!FileOperations.Read(buffer, sizeof buffer, from, count)) return false;
    if (count == 0) return true;
    if (FileOperations.Write(buffer, count, to) != count) return false;
  }
}

std::FILE* PlatformCreate(const char* path) { return std::fopen(path, "wb"); }

bool PlatformRead(void* buffer, std::size_t capacity, std::FILE* file, std::size_t& count) {
  count = std::fread(buffer, 1, capacity, file);
  return std::ferror(file) == 0;
}

std::size_t PlatformWrite(const void* buffer, std::size_t count, std::FILE* file) {
  return std::fwrite(buffer, 1, count, file);
}

bool PlatformClose(std::FILE* file) {
  const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
  return std::fclose(file) == 0 && flushed;
}

std::FILE* PlatformOpenRead(const char* path);
bool PlatformReplace(const char* from, const char* to);
}  // namespace

// Both set before any code runs: nothing can write a file through an
// operation table that is still empty.
constexpr TFileOperations PlatformFileOperations = {PlatformCreate, PlatformOpenRead, PlatformRead,
                                                    PlatformWrite,  PlatformClose,    PlatformReplace};
constinit TFileOperations FileOperations = PlatformFileOperations;

bool IsDeviceName(std::string_view name) {
  std::string base(name.substr(0, name.find('.')));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$" ||
      base == "CLOCK$")
    return true;
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  const auto digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool HasZeroByte(const std::string& path) { return std::find(path.begin(), path.end(), '\0') != path.end(); }

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return !HasZeroByte(from) && !HasZeroByte(to) && FileOperations.Replace(from.c_str(), to.c_str());
}

bool CopyFileReplacing(const std::string& source, const std::string& target) {
  if (HasZeroByte(source) || HasZeroByte(target)) return false;
  TFile from(FileOperations.OpenRead(source.c_str()));
  if (!from) return false;
  const std::string temporary = target + ".tmp";
  std::FILE* to = FileOperations.Create(temporary.c_str());
  if (!to) return false;
  const bool copied = CopyContent(from.get(), to);
  const bool closed = FileOperations.Close(to);
  if (copied && closed && ReplaceFileWith(temporary, target)) return true;
  DeleteFileIfExists(temporary);
  return false;
}

#ifdef _WIN32
#include <windows.h>

#include <io.h>

namespace {
bool PlatformReplace(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Names such as "CON", "NUL" or "COM1" open devices wherever they stand: only
// a file on a disk is a file to copy.
std::FILE* PlatformOpenRead(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != FILE_TYPE_DISK) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}
}  // namespace

void DeleteFileIfExists(const std::string& path) { DeleteFileA(path.c_str()); }

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
bool IsAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}
}  // namespace

std::string AbsoluteDirectory(const std::string& base, const std::string& directory) {
  std::string combined = directory.empty() ? "." : directory;
  if (!IsAbsolute(combined) && !base.empty()) combined = base + "\\" + combined;
  char buffer[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(combined.c_str(), sizeof buffer, buffer, nullptr);
  std::string result = length > 0 && length < sizeof buffer ? std::string(buffer, length) : combined;
  if (result.back() != '\\' && result.back() != '/') result += '\\';
  return result;
}

void CreateDirectories(const std::string& directory) {
  std::string path = directory;
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  if (path.empty() || (path.size() == 2 && path[1] == ':')) return;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  const std::size_t parent = path.find_last_of("\\/");
  if (parent != std::string::npos) CreateDirectories(path.substr(0, parent));
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    RaiseError("Cannot create directory %s", {directory});
}

#else
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool PlatformReplace(const char* from, const char* to) { return std::rename(from, to) == 0; }

// Opened without blocking, so that a pipe with no writer cannot stop us, and
// refused unless it is a regular file: reading a device such as /dev/zero
// would never end.
std::FILE* PlatformOpenRead(const char* path) {
  const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat status;
  const int flags = fcntl(descriptor, F_GETFL);
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
      fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(descriptor);
    return nullptr;
  }
  std::FILE* file = fdopen(descriptor, "rb");
  if (!file) close(descriptor);
  return file;
}
}  // namespace

void DeleteFileIfExists(const std::string& path) { std::remove(path.c_str()); }

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

bool DirectoryExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

std::string AbsoluteDirectory(const std::string& base, const std::string& directory) {
  namespace fs = std::filesystem;
  fs::path path(directory.empty() ? "." : directory);
  if (path.is_relative() && !base.empty()) path = fs::path(base) / path;
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  std::string result = (error ? path : absolute).lexically_normal().string();
  if (result.empty() || result.back() != '/') result += '/';
  return result;
}

void CreateDirectories(const std::string& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error || !std::filesystem::is_directory(directory, error)) RaiseError("Cannot create directory %s", {directory});
}
#endif
