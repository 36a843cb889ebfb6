#pragma once
// The few file operations the core needs beyond reading and writing a stream,
// with each platform's native call behind them. Paths are 8-bit strings, as
// the editor hands them over.

#include <cstdio>
#include <string>
#include <string_view>

// The platform's path delimiter.
#ifdef _WIN32
inline constexpr char PathDelimiter = '\\';
#else
inline constexpr char PathDelimiter = '/';
#endif

// The calls through which every file the core writes is created, filled,
// closed and moved into place, and through which a copy reads its source.
// They are plain function pointers, called once per file or once per block of
// a buffered stream and never per byte, so the indirection costs nothing that
// could be measured. Tests replace them to make the file system fail at a
// chosen step (see tests/support/FileFaults.h).
struct TFileOperations {
  // A new, empty file for writing, replacing an existing one; nullptr when refused.
  std::FILE* (*Create)(const char* path);
  // A regular file for reading; nullptr when it is missing or not a regular
  // file (a device, a pipe, a directory), so that a copy never waits on one.
  std::FILE* (*OpenRead)(const char* path);
  // Reads up to `capacity` bytes and stores how many in `count` (0 at the
  // end of the file); false when reading failed.
  bool (*Read)(void* buffer, std::size_t capacity, std::FILE* file, std::size_t& count);
  // Returns the number of bytes written; fewer than count means it failed.
  std::size_t (*Write)(const void* buffer, std::size_t count, std::FILE* file);
  // Closes the file in any case; false when buffered bytes could not be written.
  bool (*Close)(std::FILE* file);
  // Moves `from` onto `to`, replacing an existing `to` in one step.
  bool (*Replace)(const char* from, const char* to);
};

// The platform's own operations.
extern const TFileOperations PlatformFileOperations;
// The operations in force: the platform's, unless a test has replaced them.
extern TFileOperations FileOperations;

// True when the path holds a zero byte: the platform would cut it there, so
// such a path names some other file and is never used.
bool HasZeroByte(const std::string& path);

// True for a file name that Windows, where the platform loads our assets,
// opens as a device instead of a file: CON, PRN, AUX, NUL, COM0-9 and LPT0-9
// (also with the superscript digits 1-3 of its code page), CONIN$, CONOUT$ and
// CLOCK$, in any letter case, with any extension and with trailing dots or
// blanks. Decided the same way on every platform, as the files travel.
bool IsDeviceName(std::string_view name);

// Moves `from` onto `to`, replacing an existing `to` in one step; false when the
// file system refuses.
bool ReplaceFileWith(const std::string& from, const std::string& to);

// Removes a file; a missing file is not an error.
void DeleteFileIfExists(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Copies a file whole or not at all: through a temporary file beside the
// target that replaces it only when complete. False when the source cannot be
// read (also when it is not a regular file) or the target cannot be written;
// an existing target then stays intact and no temporary file is left.
bool CopyFileReplacing(const std::string& source, const std::string& target);

// `directory` taken relative to `base` (unless it is absolute; "" stands for
// "."), made absolute against the current directory where needed, normalised
// ("." and ".." steps removed) and ending with a path delimiter.
std::string AbsoluteDirectory(const std::string& base, const std::string& directory);

// Creates the directory with any missing parents. Raises "Cannot create
// directory %s" when the file system refuses.
void CreateDirectories(const std::string& directory);
