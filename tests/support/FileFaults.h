#pragma once
// Makes the file layer fail at one chosen step while the object lives, through
// the operation table of uFileSystem: creating a file, writing it from byte N
// on, flushing it to the disk, closing it, moving it into place, flushing a
// folder, or reading a copy's source. Only files whose path contains a given
// text are affected; everything else goes to the platform as usual. Every
// flush, move and folder flush is also logged, so that tests can check what
// was made durable before it was published. A transaction flushes a file on
// a thread of its own while the next is written: the hooks take a lock.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/uFileSystem.h"

enum class TFileFault { ffNone, ffCreate, ffWrite, ffSync, ffClose, ffReplace, ffSyncFolder, ffRead };

class TFileFaults {
public:
  // For ffWrite, the bytes before `atByte` reach the file and the write that
  // would carry byte `atByte` stops there and fails.
  TFileFaults(TFileFault fault, std::string pathPart, uint64_t atByte = 0) {
    State() = {fault, std::move(pathPart), atByte, 0, {}, {}};
    FileOperations = {CreateNew, OpenRead, Read, Write, Sync, Close, Replace, SyncFolder};
  }
  ~TFileFaults() { FileOperations = PlatformFileOperations; }
  TFileFaults(const TFileFaults&) = delete;
  TFileFaults& operator=(const TFileFaults&) = delete;

  // How often the fault struck.
  int Hits() const { return State().Hits; }
  // "sync PATH", "move FROM TO" and "folder PATH", in the order they happened
  // (paths with "/" as delimiter).
  const std::vector<std::string>& Events() const { return State().Events; }

private:
  struct TOpenFile {
    bool Affected;
    uint64_t Written;
    std::string Path;
  };
  struct TState {
    TFileFault Fault;
    std::string PathPart;
    uint64_t AtByte;
    int Hits;
    std::map<std::FILE*, TOpenFile> Files;
    std::vector<std::string> Events;
  };
  static TState& State() {
    static TState state;
    return state;
  }
  static std::recursive_mutex& Mutex() {
    static std::recursive_mutex mutex;
    return mutex;
  }
  // The part is written with "/"; Windows paths reach here with "\\".
  static std::string Normal(const char* path) {
    std::string normal(path);
    std::replace(normal.begin(), normal.end(), '\\', '/');
    return normal;
  }
  // A temporary file is hidden beside its target (".A.mesh.<number>.tmp"):
  // it is affected as its target is.
  static bool Affects(const char* path) {
    std::string normal = Normal(path);
    for (std::size_t at = normal.find("/."); at != std::string::npos; at = normal.find("/.", at + 1))
      normal.erase(at + 1, 1);
    return normal.find(State().PathPart) != std::string::npos;
  }
  static bool Strike(TFileFault fault, bool affected) {
    if (!affected || State().Fault != fault) return false;
    ++State().Hits;
    return true;
  }

  static std::FILE* CreateNew(const char* path) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    if (Strike(TFileFault::ffCreate, Affects(path))) return nullptr;
    std::FILE* file = PlatformFileOperations.CreateNew(path);
    if (file) State().Files[file] = {Affects(path), 0, Normal(path)};
    return file;
  }
  static std::FILE* OpenRead(const char* folder, const char* name, TSourceFile& found) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    std::FILE* file = PlatformFileOperations.OpenRead(folder, name, found);
    std::string path = folder;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    path += name;
    if (file) State().Files[file] = {Affects(path.c_str()), 0, Normal(path.c_str())};
    return file;
  }
  static bool Sync(std::FILE* file) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    State().Events.push_back("sync " + State().Files[file].Path);
    if (Strike(TFileFault::ffSync, State().Files[file].Affected)) return false;
    return PlatformFileOperations.Sync(file);
  }
  static bool SyncFolder(const char* path) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    State().Events.push_back("folder " + Normal(path));
    if (Strike(TFileFault::ffSyncFolder, Affects(path))) return false;
    return PlatformFileOperations.SyncFolder(path);
  }
  static bool Read(void* buffer, std::size_t capacity, std::FILE* file, std::size_t& count) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    if (Strike(TFileFault::ffRead, State().Files[file].Affected)) return false;
    return PlatformFileOperations.Read(buffer, capacity, file, count);
  }
  static std::size_t Write(const void* buffer, std::size_t count, std::FILE* file) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    TOpenFile& open = State().Files[file];
    std::size_t allowed = count;
    if (open.Affected && State().Fault == TFileFault::ffWrite && open.Written + count > State().AtByte) {
      allowed = static_cast<std::size_t>(State().AtByte > open.Written ? State().AtByte - open.Written : 0);
      ++State().Hits;
    }
    const std::size_t written = PlatformFileOperations.Write(buffer, allowed, file);
    open.Written += written;
    return written;
  }
  static bool Close(std::FILE* file) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    const bool affected = State().Files[file].Affected;
    State().Files.erase(file);
    const bool closed = PlatformFileOperations.Close(file);
    return !Strike(TFileFault::ffClose, affected) && closed;
  }
  static bool Replace(const char* from, const char* to) {
    const std::lock_guard<std::recursive_mutex> lock(Mutex());
    State().Events.push_back("move " + Normal(from) + " " + Normal(to));
    if (Strike(TFileFault::ffReplace, Affects(to))) return false;
    return PlatformFileOperations.Replace(from, to);
  }
};
