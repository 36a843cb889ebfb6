#pragma once
// Several files written as one: an asset's mesh, script, textures, physics
// file and definitions either all replace their earlier versions or none does.
//
// Each file is written into a temporary file of its own beside its target,
// under a fresh hidden name created exclusively (never through a link, never
// shared with another process), and flushed to the disk when complete. Commit
// then moves every one into place and flushes the folders, so that the names
// survive a power cut too. An earlier file is kept under a second name
// (a hard link) until the commit is through, so that a move the file system
// refuses puts every earlier file back. Whatever is not committed is removed
// when the transaction ends.
//
// The temporary files bear a mark made from the owner (an asset), so that
// the owner's next transaction recognises and removes what a killed one
// left behind, without touching the files that another owner is writing.

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/uFileSystem.h"

class TFileTransaction {
public:
  explicit TFileTransaction(std::string_view owner = {});
  ~TFileTransaction();
  TFileTransaction(const TFileTransaction&) = delete;
  TFileTransaction& operator=(const TFileTransaction&) = delete;

  // A new temporary file for `target`, open for writing; the number names it
  // in the calls below. Raises "Cannot create file %s" with the target.
  std::size_t Create(const std::string& target);
  std::FILE* File(std::size_t file) const { return FFiles[file].Handle; }
  // The file is complete: it is flushed to the disk and closed on a thread
  // of the transaction, file after file, while the caller writes the next
  // ones, as a large mesh takes the disk tens of milliseconds. When the file
  // system refuses that, a later Finish or the commit raises "Cannot write
  // file %s" with the target.
  void Finish(std::size_t file);
  // The file will not be written after all: closed and removed.
  void Abandon(std::size_t file);

  // Copies the file `name` inside `folder` (opened as OpenRead of
  // uFileSystem.h opens it: no link followed) into a new file for `target`.
  // Anything but sfRead, with nothing staged, when the source cannot be
  // opened or read; the target side's failures raise like Create and Finish.
  TSourceFile Copy(const std::string& folder, const std::string& name, const std::string& target);

  // Moves every finished file into place. Raises "The file %s is read-only."
  // for a target marked read-only and "Cannot write file %s" for one where a
  // folder stands, both found before anything is moved; and "Cannot write
  // file %s" when the file system refuses a move or the flush of a folder, in
  // which case every target moved so far gets its earlier file back. Should
  // the file system refuse that too, the earlier file stays under its second
  // name (the only copy of it left), which the error names; the owner's next
  // transaction removes it with the other leftovers.
  void Commit();

  // Removes the temporary files of this owner that a killed transaction left
  // in the folder. Only for an owner that no other process writes for at
  // the same time (hold its lock).
  void RemoveStaleFiles(const std::string& folder) const;

private:
  struct TStagedFile {
    std::string Target;
    std::string Temporary;  // empty once moved into place or removed
    std::string Earlier;    // second name of the earlier target during the commit
    std::FILE* Handle = nullptr;
    bool Finished = false;
    bool Existed = false;   // the target had an earlier file at the commit
    bool KeepEarlier = false;  // its earlier file could not be put back: never removed
  };

  std::string FreshName(const std::string& target, const char* extension);
  // The flushing thread's loop: takes the queued files in order.
  void FlushQueued();
  // Waits for every queued flush when `wait` is set; marks the flushed files
  // finished, or abandons the first that failed and raises.
  void TakeFlushes(bool wait);
  // Waits for every queued flush and keeps the results for TakeFlushes.
  void AwaitFlushes();
  void RollBack(std::size_t moved);
  void RemoveEarlierFiles();

  std::string FMark;  // from the owner; empty: none
  std::vector<TStagedFile> FFiles;
  // Finished files waiting for their flush and close, and how those done
  // went; the thread runs while any wait. Guarded by FFlushMutex.
  struct TFlush {
    std::size_t File;
    std::FILE* Handle;  // closed by the flush
    bool Done;
    bool Flushed;
  };
  std::deque<TFlush> FFlushes;
  bool FFlushing = false;
  std::mutex FFlushMutex;
  std::condition_variable FFlushEnded;
  std::thread FFlushThread;
  unsigned long long FSequence;
};
