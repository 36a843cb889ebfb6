#include "uFileSystem.h"

#include <cstdio>
#include <memory>

#include "uException.h"

namespace {
struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

bool CopyContent(std::FILE* from, std::FILE* to) {
  char buffer[64 * 1024];
  for (;;) {
    const std::size_t count = std::fread(buffer, 1, sizeof buffer, from);
    if (count > 0 && std::fwrite(buffer, 1, count, to) != count) return false;
    if (count < sizeof buffer) return std::ferror(from) == 0;
  }
}
}  // namespace

bool CopyFileReplacing(const std::string& source, const std::string& target) {
  TFile from(std::fopen(source.c_str(), "rb"));
  if (!from) return false;
  const std::string temporary = target + ".tmp";
  std::FILE* to = std::fopen(temporary.c_str(), "wb");
  if (!to) return false;
  const bool copied = CopyContent(from.get(), to);
  const bool closed = std::fclose(to) == 0;
  if (copied && closed && ReplaceFileWith(temporary, target)) return true;
  DeleteFileIfExists(temporary);
  return false;
}

#ifdef _WIN32
#include <windows.h>

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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

#else
#include <filesystem>
#include <system_error>

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
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
#endif
