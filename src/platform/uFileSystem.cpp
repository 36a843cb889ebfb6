#include "platform/uFileSystem.h"

#include <algorithm>
#include <cstdio>

#include "base/uException.h"

#if defined(__linux__)
#include <fcntl.h>
#endif

namespace {
bool PlatformRead(void* buffer, std::size_t capacity, std::FILE* file, std::size_t& count) {
  count = std::fread(buffer, 1, capacity, file);
  return std::ferror(file) == 0;
}

std::size_t PlatformWrite(const void* buffer, std::size_t count, std::FILE* file) {
  const std::size_t written = std::fwrite(buffer, 1, count, file);
#if defined(__linux__)
  // Every file is flushed to the disk before the export commits it, and a
  // mesh runs to a hundred megabytes: each window of it written is handed
  // to the disk at once, so that the flush at the end waits for little.
  constexpr off_t kWindow = 8 * 1024 * 1024;
  const off_t position = ftello(file);
  if (position >= kWindow && position / kWindow != (position - static_cast<off_t>(written)) / kWindow &&
      std::fflush(file) == 0)
    sync_file_range(fileno(file), (position / kWindow - 1) * kWindow, kWindow, SYNC_FILE_RANGE_WRITE);
#endif
  return written;
}

bool PlatformClose(std::FILE* file) {
  const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
  return std::fclose(file) == 0 && flushed;
}

std::FILE* PlatformCreateNew(const char* path);
std::FILE* PlatformOpenRead(const char* folder, const char* name, TSourceFile& found);
bool PlatformSync(std::FILE* file);
bool PlatformReplace(const char* from, const char* to);
bool PlatformSyncFolder(const char* path);
}  // namespace

// Both set before any code runs: nothing can write a file through an
// operation table that is still empty.
constexpr TFileOperations PlatformFileOperations = {PlatformCreateNew, PlatformOpenRead, PlatformRead,
                                                    PlatformWrite,     PlatformSync,     PlatformClose,
                                                    PlatformReplace,   PlatformSyncFolder};
constinit TFileOperations FileOperations = PlatformFileOperations;

bool IsDeviceName(std::string_view name) {
  std::string base(name.substr(0, name.find('.')));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$" ||
      base == "CLOCK$")
    return true;
  if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  const std::string_view digit = std::string_view(base).substr(3);
  // A digit, or a superscript 1, 2 or 3 in Latin-1 or in UTF-8.
  if (digit.size() == 2 && digit[0] == '\xC2') return digit[1] == '\xB9' || digit[1] == '\xB2' || digit[1] == '\xB3';
  return digit.size() == 1 && ((digit[0] >= '0' && digit[0] <= '9') || digit[0] == '\xB9' || digit[0] == '\xB2' ||
                               digit[0] == '\xB3');
}

std::string FoldedCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    const auto byte = static_cast<unsigned char>(c);
    // A-Z, and the Latin-1 capitals from 0xC0 to 0xDE but for the
    // multiplication sign: each 0x20 below its small letter.
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
      c = static_cast<char>(byte + 0x20);
  }
  return folded;
}

bool LeadsOutOfFolder(std::string_view path) {
  if (path.empty()) return false;
  if (path.front() == '/' || path.front() == '\\' || (path.size() >= 2 && path[1] == ':')) return true;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find_first_of("/\\", start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.find("..") != std::string_view::npos && part.find_first_not_of(". ") == std::string_view::npos)
      return true;
    start = end + 1;
  }
  return false;
}

namespace {
// The parts of a name to open inside a folder, without empty and "." parts,
// which stay where they are.
std::vector<std::string> NameParts(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find_first_of(LocalPathDelimiters, start), name.size());
    const std::string_view part = name.substr(start, end - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}
}  // namespace

bool HasZeroByte(const std::string& path) { return std::find(path.begin(), path.end(), '\0') != path.end(); }

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return !HasZeroByte(from) && !HasZeroByte(to) && FileOperations.Replace(from.c_str(), to.c_str());
}

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace {
// CREATE_NEW refuses an existing name, a link included, so that nothing
// planted under a temporary file's name receives our bytes. Shared for
// deletion, as on POSIX: the owner's next export removes what a killed one
// left, and a file's earlier version gets its second name while it is open.
std::FILE* PlatformCreateNew(const char* path) {
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "wb");
  if (!file) _close(descriptor);
  return file;
}

bool PlatformSync(std::FILE* file) {
  return std::fflush(file) == 0 && std::ferror(file) == 0 &&
         FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != 0;
}

// Exports running side by side may replace one file at the same moment (two
// assets placing one texture), and Windows refuses a move onto a file that
// another move or a hard link holds open for that instant. Such a refusal
// passes within milliseconds, so the move is tried again, for up to about a
// second, before it counts as failed.
bool PlatformReplace(const char* from, const char* to) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 100) {
      SetLastError(error);
      return false;
    }
    Sleep(10);
  }
}

bool PlatformSyncFolder(const char*) { return true; }

// Each part is opened as itself, a reparse point (a symbolic link, a
// junction) not followed, and refused if it is one. The folders on the way
// stay open meanwhile without sharing deletion, so that nobody can rename
// them or put a link in their place before the file itself is open. Names
// such as "CON", "NUL" or "COM1" open devices wherever they stand: only a
// file on a disk is a file to copy.
std::FILE* PlatformOpenRead(const char* folder, const char* name, TSourceFile& found) {
  const std::vector<std::string> parts = NameParts(name);
  std::vector<HANDLE> held;
  struct TRelease {
    std::vector<HANDLE>& Handles;
    ~TRelease() {
      for (HANDLE handle : Handles) CloseHandle(handle);
    }
  } release{held};
  // Until the file is open, a failure is a part that is no regular file.
  found = TSourceFile::sfNotRegular;
  if (parts.empty()) return nullptr;  // the folder itself
  std::string path = *folder ? folder : ".";
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    if (parts[i] == "..") {
      found = TSourceFile::sfOutside;
      return nullptr;
    }
    if (path.back() != '\\' && path.back() != '/') path += '\\';
    path += parts[i];
    const DWORD sharing = last ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ | FILE_SHARE_WRITE;
    handle = CreateFileA(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      found = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
                  ? TSourceFile::sfMissing
                  : TSourceFile::sfUnreadable;
      return nullptr;
    }
    held.push_back(handle);
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information)) return nullptr;
    const bool directory = information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      found = TSourceFile::sfLink;
      return nullptr;
    }
    if (last == directory) {
      found = last ? TSourceFile::sfNotRegular : TSourceFile::sfMissing;
      return nullptr;
    }
  }
  held.pop_back();  // the file's own handle now belongs to the stream
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    found = TSourceFile::sfUnreadable;
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "rb");
  if (!file) _close(descriptor);
  found = file ? TSourceFile::sfRead : TSourceFile::sfUnreadable;
  return file;
}

// The path with every link resolved, as the system reports it, without the
// "\\?\" prefix; "" when the file cannot be opened. Where the system cannot
// name the file by its handle, the full path stands in for it.
std::string FinalPath(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  char buffer[MAX_PATH * 4];
  DWORD length = GetFinalPathNameByHandleA(handle, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= sizeof buffer) length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return {};
  std::string final(buffer, length);
  if (final.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\" + final.substr(7);
  if (final.compare(0, 4, "\\\\?\\") == 0) return final.substr(4);
  return final;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return text;
}
}  // namespace

bool LinkFile(const std::string& existing, const std::string& link) {
  return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::string pattern = folder.empty() ? std::string(".") : folder;
  while (pattern.size() > 1 && (pattern.back() == '\\' || pattern.back() == '/')) pattern.pop_back();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((pattern + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

bool IsDirectoryEntry(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool NameExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsReadOnlyFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (attributes & FILE_ATTRIBUTE_READONLY);
}

std::string FileIdentity(const std::string& path) { return Lower(FinalPath(path)); }

bool LiesInsideFolder(const std::string& path, const std::string& folder) {
  std::string file = Lower(FinalPath(path));
  std::string root = Lower(FinalPath(folder.empty() ? "." : folder));
  if (file.empty() || root.empty()) return false;
  if (root.back() != '\\') root += '\\';
  return file.compare(0, root.size(), root) == 0;
}

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

std::string LastSystemErrorText() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  return message;
}

#else
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// O_EXCL refuses an existing name and, with O_NOFOLLOW, a link planted under
// it: nothing but our own new file receives our bytes.
std::FILE* PlatformCreateNew(const char* path) {
  const int descriptor = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) return nullptr;
  std::FILE* file = fdopen(descriptor, "wb");
  if (!file) close(descriptor);
  return file;
}

bool PlatformSync(std::FILE* file) {
  return std::fflush(file) == 0 && std::ferror(file) == 0 && fsync(fileno(file)) == 0;
}

bool PlatformReplace(const char* from, const char* to) { return std::rename(from, to) == 0; }

bool PlatformSyncFolder(const char* path) {
  const int descriptor = open(*path ? path : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool synced = fsync(descriptor) == 0;
  return close(descriptor) == 0 && synced;
}

// Why the part at `name` inside the open folder could not be opened, from
// what stands there now (a link not followed).
TSourceFile WhyNotOpened(int folder, const std::string& name, bool last) {
  struct stat status;
  if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? TSourceFile::sfMissing : TSourceFile::sfUnreadable;
  if (S_ISLNK(status.st_mode)) return TSourceFile::sfLink;
  return !last && !S_ISDIR(status.st_mode) ? TSourceFile::sfMissing : TSourceFile::sfUnreadable;
}

// Part by part, each opened relative to the folder opened before it with
// O_NOFOLLOW: the kernel refuses a link at that very step, so no name swapped
// meanwhile can lead the read elsewhere. The file is opened without
// blocking, so that a pipe with no writer cannot stop us, and refused unless
// the descriptor is a regular file: reading a device such as /dev/zero would
// never end.
std::FILE* PlatformOpenRead(const char* folder, const char* name, TSourceFile& found) {
  const std::vector<std::string> parts = NameParts(name);
  int descriptor = open(*folder ? folder : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) {
    found = errno == ENOENT || errno == ENOTDIR ? TSourceFile::sfMissing : TSourceFile::sfUnreadable;
    return nullptr;
  }
  found = TSourceFile::sfRead;
  for (std::size_t i = 0; i < parts.size() && found == TSourceFile::sfRead; ++i) {
    const bool last = i + 1 == parts.size();
    const int next = parts[i] == ".." ? -1
                                      : openat(descriptor, parts[i].c_str(),
                                               O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (last ? O_NONBLOCK : O_DIRECTORY));
    if (next < 0) found = parts[i] == ".." ? TSourceFile::sfOutside : WhyNotOpened(descriptor, parts[i], last);
    close(descriptor);
    descriptor = next;
  }
  if (found != TSourceFile::sfRead) return nullptr;
  struct stat status;
  const int flags = fcntl(descriptor, F_GETFL);
  if (parts.empty() || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
      fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(descriptor);
    found = TSourceFile::sfNotRegular;
    return nullptr;
  }
  std::FILE* file = fdopen(descriptor, "rb");
  if (!file) {
    close(descriptor);
    found = TSourceFile::sfUnreadable;
  }
  return file;
}
}  // namespace

bool LinkFile(const std::string& existing, const std::string& link) {
  return ::link(existing.c_str(), link.c_str()) == 0;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end; !error && entry != end;
       entry.increment(error))
    names.push_back(entry->path().filename().string());
  return names;
}

bool IsDirectoryEntry(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool NameExists(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat status;
  return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0222) == 0;
}

std::string FileIdentity(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return {};
  return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

bool LiesInsideFolder(const std::string& path, const std::string& folder) {
  char* file = realpath(path.c_str(), nullptr);
  char* root = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
  bool inside = false;
  if (file && root) {
    std::string prefix = root;
    if (prefix.back() != '/') prefix += '/';
    inside = std::string(file).compare(0, prefix.size(), prefix) == 0;
  }
  std::free(file);
  std::free(root);
  return inside;
}

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
std::string LastSystemErrorText() { return std::strerror(errno); }

#endif

std::size_t FileNameStart(std::string_view path, std::string_view delimiters) {
  const std::size_t delimiter = path.find_last_of(delimiters);
  return delimiter == std::string_view::npos ? 0 : delimiter + 1;
}

std::string FolderOf(const std::string& path, std::string_view delimiters) {
  return path.substr(0, FileNameStart(path, delimiters));
}

std::string FileNameOf(const std::string& path, std::string_view delimiters) {
  return path.substr(FileNameStart(path, delimiters));
}

namespace {
// A regular file opened for reading as texture sources are: no link taken as
// the file, no pipe waited for.
struct TReadFile {
  std::FILE* File = nullptr;
  explicit TReadFile(const std::string& path) {
    TSourceFile found = TSourceFile::sfMissing;
    if (!HasZeroByte(path)) File = FileOperations.OpenRead(FolderOf(path).c_str(), FileNameOf(path).c_str(), found);
  }
  ~TReadFile() {
    if (File) FileOperations.Close(File);
  }
  TReadFile(const TReadFile&) = delete;
  TReadFile& operator=(const TReadFile&) = delete;
};

constexpr std::size_t kReadBlock = 64 * 1024;
}  // namespace

bool ReadWholeFile(const std::string& path, std::string& text) {
  text.clear();
  const TReadFile file(path);
  if (!file.File) return false;
  char buffer[kReadBlock];
  for (std::size_t count = 0;; text.append(buffer, count)) {
    if (!FileOperations.Read(buffer, sizeof buffer, file.File, count)) return false;
    if (count == 0) return true;
  }
}

bool SameFileContents(const std::string& first, const std::string& second) {
  const TReadFile one(first), two(second);
  if (!one.File || !two.File) return false;
  std::string a(kReadBlock, '\0'), b(kReadBlock, '\0');
  for (;;) {
    std::size_t countA = 0;
    if (!FileOperations.Read(a.data(), a.size(), one.File, countA)) return false;
    // Reads of a regular file fill the buffer but at its end, so blocks of
    // the two files line up.
    std::size_t filled = 0;
    while (filled < countA) {
      std::size_t count = 0;
      if (!FileOperations.Read(b.data() + filled, countA - filled, two.File, count)) return false;
      if (count == 0) break;
      filled += count;
    }
    if (filled != countA || a.compare(0, countA, b, 0, countA) != 0) return false;
    if (countA == 0) {
      std::size_t more = 0;
      return FileOperations.Read(b.data(), 1, two.File, more) && more == 0;
    }
  }
}
