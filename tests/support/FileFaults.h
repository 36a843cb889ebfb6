#pragma once
// Makes the file layer fail at one chosen step while the object lives, through
// the operation table of uFileSystem: creating a file, writing it from byte N
// on, closing it, moving it into place, or reading a copy's source. Only files
// whose path contains a given text are affected; everything else goes to the
// platform as usual.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "uFileSystem.h"

enum class TFileFault { ffCreate, ffWrite, ffClose, ffReplace, ffRead };

class TFileFaults {
public:
  // For ffWrite, the bytes before `atByte` reach the file and the write that
  // would carry byte `atByte` stops there and fails.
  TFileFaults(TFileFault fault, std::string pathPart, uint64_t atByte = 0) {
    State() = {fault, std::move(pathPart), atByte, 0, {}};
    FileOperations = {Create, OpenRead, Read, Write, Close, Replace};
  }
  ~TFileFaults() { FileOperations = PlatformFileOperations; }
  TFileFaults(const TFileFaults&) = delete;
  TFileFaults& operator=(const TFileFaults&) = delete;

  // How often the fault struck.
  int Hits() const { return State().Hits; }

private:
  struct TOpenFile {
    bool Affected;
    uint64_t Written;
  };
  struct TState {
    TFileFault Fault;
    std::string PathPart;
    uint64_t AtByte;
    int Hits;
    std::map<std::FILE*, TOpenFile> Files;
  };
  static TState& State() {
    static TState state;
    return state;
  }
  // The part is written with "/"; Windows paths reach here with "\\".
  static bool Affects(const char* path) {
    std::string normal(path);
    std::replace(normal.begin(), normal.end(), '\\', '/');
    return normal.find(State().PathPart) != std::string::npos;
  }
  static bool Strike(TFileFault fault, bool affected) {
    if (!affected || State().Fault != fault) return false;
    ++State().Hits;
    return true;
  }

  static std::FILE* Create(const char* path) {
    if (Strike(TFileFault::ffCreate, Affects(path))) return nullptr;
    std::FILE* file = PlatformFileOperations.Create(path);
    if (file) State().Files[file] = {Affects(path), 0};
    return file;
  }
  static std::FILE* OpenRead(const char* path) {
    std::FILE* file = PlatformFileOperations.OpenRead(path);
    if (file) State().Files[file] = {Affects(path), 0};
    return file;
  }
  static bool Read(void* buffer, std::size_t capacity, std::FILE* file, std::size_t& count) {
    if (Strike(TFileFault::ffRead, State().Files[file].Affected)) return false;
    return PlatformFileOperations.Read(buffer, capacity, file, count);
  }
  static std::size_t Write(const void* buffer, std::size_t count, std::FILE* file) {
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
    const bool affected = State().Files[file].Affected;
    State().Files.erase(file);
    const bool closed = PlatformFileOperations.Close(file);
    return !Strike(TFileFault::ffClose, affected) && closed;
  }
  static bool Replace(const char* from, const char* to) {
    if (Strike(TFileFault::ffReplace, Affects(to))) return false;
    return PlatformFileOperations.Replace(from, to);
  }
};
