#pragma once
// The few file operations the core needs beyond reading and writing a stream,
// with each platform's native call behind them.

#include <string>

// Moves `from` onto `to`, replacing an existing `to` in one step; false when the
// file system refuses.
bool ReplaceFileWith(const std::string& from, const std::string& to);

// Removes a file; a missing file is not an error.
void DeleteFileIfExists(const std::string& path);
