#pragma once
// A file mapped read-only into memory, private to this process. Scene files
// run to hundreds of megabytes: mapped, their text is read straight from the
// system's file cache instead of being copied into a buffer of our own, and
// the pages behind the reader can be dropped as it goes.
//
// The price of a mapping is that the file stays the editor's: when it saves
// the scene while we read it, the mapping shows the new bytes beside the old
// ones, and where the file got shorter, touching the lost pages would end the
// process with a bus error (POSIX; Windows refuses to shorten a mapped file).
// Read guards against the bus error, and Changed tells whether what was read
// can be trusted.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TMappedFile {
public:
  // Maps a regular, non-empty file. Anything else (a pipe, a device, an empty
  // file) or a refusal of the system leaves it unmapped, and the caller reads
  // the file as a stream instead. A pipe is not even opened here, so that its
  // writer meets only the stream reader.
  explicit TMappedFile(const std::string& fileName);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  bool IsMapped() const { return FData != nullptr; }
  // The file's bytes; empty when unmapped. Valid while the object lives.
  std::string_view Text() const { return {static_cast<const char*>(FData), FSize}; }

  // Calls `read` with Text(). Pages that the file loses while it runs read as
  // zeros instead of ending the process, and make Changed() true. On POSIX
  // that takes a handler of bus errors of our own for the duration of the
  // call (the previous one is back afterwards, also when `read` raises); a bus
  // error anywhere but in this mapping goes on to the previous handling. One
  // read at a time per process.
  void Read(const std::function<void(std::string_view text)>& read);

  // True when a page of the mapping was lost during Read, or when the file now
  // under the name is not the regular file that was opened: another file, gone,
  // or of another size or modification time (POSIX: or status change time).
  // Asked after reading, it tells whether the file stood still meanwhile, also
  // when it was read as a stream after an empty file was found here. Always
  // false for what is not a regular file (a pipe, a device, a missing file).
  bool Changed() const;

  // What Changed compares: enough of a regular file's status to notice that
  // its content changed.
  struct TStamp {
    bool Regular = false;
    uint64_t Device = 0, Id = 0, Size = 0;
    int64_t Modified = 0, StatusChanged = 0;  // in the platform's ticks
    bool operator==(const TStamp&) const = default;
  };

private:
  std::string FFileName;
  TStamp FStamp;
  void* FData = nullptr;
  std::size_t FSize = 0;
  bool FPageLost = false;
};
