#pragma once
// The few file operations the core needs beyond reading and writing a stream,
// with each platform's native call behind them. Paths are 8-bit strings, as
// the editor hands them over.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The platform's path delimiter.
#ifdef _WIN32
inline constexpr char PathDelimiter = '\\';
#else
inline constexpr char PathDelimiter = '/';
#endif

// What became of opening a file to read inside a folder.
enum class TSourceFile {
  sfRead,        // opened (for a copy: read to its end)
  sfMissing,     // no such name, or a part before the last is no folder
  sfOutside,     // a ".." part
  sfLink,        // a part of the name is a link (or, on Windows, another reparse point)
  sfNotRegular,  // a folder, a pipe, a device
  sfUnreadable   // the system refuses to open or read it
};

// The calls through which every file the core writes is created, filled,
// flushed to the disk, closed and moved into place, and through which a copy
// reads its source. They are plain function pointers, called once per file or
// once per block of a buffered stream and never per byte, so the indirection
// costs nothing that could be measured. Tests replace them to make the file
// system fail at a chosen step or to count the steps (see
// tests/support/FileFaults.h).
struct TFileOperations {
  // A new, empty file for writing; nullptr when a file (or a link, which is
  // never followed) of that name exists already or the system refuses.
  std::FILE* (*CreateNew)(const char* path);
  // A regular file for reading: `name` taken inside `folder` ("" for the
  // current one), its parts separated by "/" (on Windows also "\\"). No link
  // is followed at any part of the name, and the checks are made on what is
  // opened, part by part, so that swapping a name for a link meanwhile cannot
  // lead the read out of the folder (the folder itself is taken as it is
  // named). nullptr, with the reason in `found`, when it is not a regular
  // file (a device, a pipe, a directory), so that a copy never waits on one.
  std::FILE* (*OpenRead)(const char* folder, const char* name, TSourceFile& found);
  // Reads up to `capacity` bytes and stores how many in `count` (0 at the
  // end of the file); false when reading failed.
  bool (*Read)(void* buffer, std::size_t capacity, std::FILE* file, std::size_t& count);
  // Returns the number of bytes written; fewer than count means it failed.
  std::size_t (*Write)(const void* buffer, std::size_t count, std::FILE* file);
  // Hands the buffered bytes to the system and waits until the disk holds
  // them; false when it cannot.
  bool (*Sync)(std::FILE* file);
  // Closes the file in any case; false when buffered bytes could not be written.
  bool (*Close)(std::FILE* file);
  // Moves `from` onto `to`, replacing an existing `to` in one step.
  bool (*Replace)(const char* from, const char* to);
  // Waits until the disk holds the folder's list of names, so that a name
  // just created or replaced in it survives a power cut. Windows writes the
  // names through at the move itself.
  bool (*SyncFolder)(const char* path);
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
// (also with the superscript digits 1-3 of its code page, written in Latin-1
// or in UTF-8), CONIN$, CONOUT$ and
// CLOCK$, in any letter case, with any extension and with trailing dots or
// blanks. Decided the same way on every platform, as the files travel.
bool IsDeviceName(std::string_view name);

// The name with its letter case folded as Windows compares file names, for
// the letters of the 8-bit names this system writes (ASCII and Latin-1): two
// names that fold alike are one file there, wherever the files were written.
std::string FoldedCase(std::string_view name);

// True for a relative path that would lead out of the folder it is taken in,
// decided as Windows reads it, on every platform: an absolute path, a drive,
// or a ".." part (also "..." or ".. ", which Windows reads as ".."). Both
// "/" and "\" separate the parts.
bool LeadsOutOfFolder(std::string_view path);

// Moves `from` onto `to`, replacing an existing `to` in one step; false when the
// file system refuses.
bool ReplaceFileWith(const std::string& from, const std::string& to);

// Why the system's last call on this thread failed, in the system's words,
// for a message to the user: strerror(errno) on POSIX, the system message of
// GetLastError() on Windows (without its full stop and line end). Asked right
// after the failed call, before anything else can change the error.
std::string LastSystemErrorText();

// Removes a file; a missing file is not an error.
void DeleteFileIfExists(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// A second name for an existing file, in the same folder; false where the
// file system has no such links.
bool LinkFile(const std::string& existing, const std::string& link);

// The names of the entries of a folder (files and folders, without "." and
// ".."); empty when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

// True for a directory at the path itself, a link to one not followed.
bool IsDirectoryEntry(const std::string& path);

// True when anything has the name: a file, a folder, a link (not followed).
bool NameExists(const std::string& path);

// True for a file marked read-only, as a source-control checkout leaves the
// files it does not let the user change: on Windows its read-only attribute,
// elsewhere no write permission for anyone. Decided by the mark alone, so
// that the answer does not depend on who runs the export (root may write
// anything on POSIX, and a rename never asks the file itself).
bool IsReadOnlyFile(const std::string& path);

// What tells an existing file from every other, through links too: equal for
// two paths of the same file, empty when there is none.
std::string FileIdentity(const std::string& path);

// True when the file, with every link on its way resolved, lies inside the
// folder (resolved the same way). False when either cannot be resolved.
bool LiesInsideFolder(const std::string& path, const std::string& folder);

// Reads a whole regular file into `text` through the operation table; false
// when it cannot be opened (missing, not a regular file) or read.
bool ReadWholeFile(const std::string& path, std::string& text);

// True when both are regular files that can be read and hold the same bytes.
// Reads no further than the first difference.
bool SameFileContents(const std::string& first, const std::string& second);

// Splitting a path into its folder part and its file name, the one rule for
// every unit. A local path ends its folder part at the platform's
// delimiters: "\" and "/" on Windows, "/" elsewhere, where "\" is a
// character of a file name like any other. The file names in a scene are the
// editor's, Windows paths on every platform, whose drive colon also ends the
// folder part ("C:stone.png").
#ifdef _WIN32
inline constexpr std::string_view LocalPathDelimiters = "\\/";
#else
inline constexpr std::string_view LocalPathDelimiters = "/";
#endif
inline constexpr std::string_view EditorPathDelimiters = "\\/:";
// Where the file name starts: after the last delimiter, 0 when there is none.
std::size_t FileNameStart(std::string_view path, std::string_view delimiters = LocalPathDelimiters);
// The folder part with its last delimiter ("" for a bare file name), and the
// file name after it.
std::string FolderOf(const std::string& path, std::string_view delimiters = LocalPathDelimiters);
std::string FileNameOf(const std::string& path, std::string_view delimiters = LocalPathDelimiters);

// `directory` taken relative to `base` (unless it is absolute; "" stands for
// "."), made absolute against the current directory where needed, normalised
// ("." and ".." steps removed) and ending with a path delimiter.
std::string AbsoluteDirectory(const std::string& base, const std::string& directory);

// Creates the directory with any missing parents. Raises "Cannot create
// directory %s" when the file system refuses.
void CreateDirectories(const std::string& directory);
