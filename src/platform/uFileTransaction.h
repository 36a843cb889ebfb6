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

#include <cstdio>
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
  // of its own while the caller writes the next file, as a large mesh takes
  // the disk tens of milliseconds. Raises "Cannot write file %s" with the
  // target when the file system refuses that, at the next Finish, Abandon or
  // Commit, which wait for the file before.
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
  // Waits for the file whose flush runs; raises when it failed.
  void AwaitFlush();
  void RollBack(std::size_t moved);
  void RemoveEarlierFiles();

  std::string FMark;  // from the owner; empty: none
  std::vector<TStagedFile> FFiles;
  // The file last finished, while it is flushed and closed on FFlushThread
  // (FFlushPending); FFlushed tells how that went once the thread is joined.
  std::thread FFlushThread;
  std::size_t FFlushing = 0;
  bool FFlushPending = false;
  bool FFlushed = false;
  unsigned long long FSequence;
};
