#pragma once
// The few file operations the core needs beyond reading and writing a stream,
// with each platform's native call behind them. Paths are 8-bit strings, as
// the editor hands them over.

#include <string>

// The platform's path delimiter.
#ifdef _WIN32
inline constexpr char PathDelimiter = '\\';
#else
inline constexpr char PathDelimiter = '/';
#endif

// Moves `from` onto `to`, replacing an existing `to` in one step; false when the
// file system refuses.
bool ReplaceFileWith(const std::string& from, const std::string& to);

// Removes a file; a missing file is not an error.
void DeleteFileIfExists(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Copies a file whole or not at all: through a temporary file beside the
// target that replaces it only when complete. False when the source cannot be
// read or the target cannot be written; an existing target then stays intact.
bool CopyFileReplacing(const std::string& source, const std::string& target);

// `directory` taken relative to `base` (unless it is absolute; "" stands for
// "."), made absolute against the current directory where needed, normalised
// ("." and ".." steps removed) and ending with a path delimiter.
std::string AbsoluteDirectory(const std::string& base, const std::string& directory);

// Creates the directory with any missing parents. Raises "Cannot create
// directory %s" when the file system refuses.
void CreateDirectories(const std::string& directory);
