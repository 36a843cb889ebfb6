#pragma once
// A file mapped read-only into memory, private to this process. Scene files
// run to hundreds of megabytes: mapped, their text is read straight from the
// system's file cache instead of being copied into a buffer of our own, and
// the pages behind the reader can be dropped as it goes.

#include <string>
#include <string_view>

class TMappedFile {
public:
  // Maps a regular, non-empty file. Anything else (a pipe, a device, an empty
  // file) or a refusal of the system leaves it unmapped, and the caller reads
  // the file as a stream instead.
  explicit TMappedFile(const std::string& fileName);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  bool IsMapped() const { return FData != nullptr; }
  // The file's bytes; empty when unmapped. Valid while the object lives.
  std::string_view Text() const { return {static_cast<const char*>(FData), FSize}; }

private:
  void* FData = nullptr;
  std::size_t FSize = 0;
};
