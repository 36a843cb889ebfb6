#include "platform/uFileTransaction.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <system_error>
#include <utility>

#include "base/uException.h"
#include "platform/uFileSystem.h"

namespace {
// The folder a file lies in, without its last delimiter but for a root.
std::string ParentFolder(const std::string& path) {
  std::string folder = FolderOf(path);
  if (folder.size() > 1) folder.pop_back();
  return folder;
}

// 64-bit FNV-1a: the owner's mark in the names of its temporary files.
std::string Mark(std::string_view owner) {
  if (owner.empty()) return {};
  unsigned long long hash = 14695981039346656037ull;
  for (const char c : owner) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", hash);
  return text;
}

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Temporary names keep a short start of their target's name, so that they
// stay within the file system's limit on the length of a name.
constexpr std::size_t kNameShown = 48;
}  // namespace

TFileTransaction::TFileTransaction(std::string_view owner) : FMark(Mark(owner)) {
  std::random_device device;
  FSequence = (static_cast<unsigned long long>(device()) << 32) ^ device() ^
              static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
}

TFileTransaction::~TFileTransaction() {
  for (std::size_t i = 0; i < FFiles.size(); ++i) Abandon(i);
  RemoveEarlierFiles();
}

// A hidden name beside the target that no other file has: the owner's mark
// and a number that another process, or this one, does not repeat.
std::string TFileTransaction::FreshName(const std::string& target, const char* extension) {
  const std::size_t start = FileNameStart(target);
  std::string name = "." + target.substr(start, kNameShown) + ".";
  if (!FMark.empty()) name += FMark + "-";
  // A 64-bit linear congruential step: distinct numbers for this process,
  // started at a random point so that two processes do not meet.
  FSequence = FSequence * 6364136223846793005ull + 1442695040888963407ull;
  char number[17];
  std::snprintf(number, sizeof number, "%016llx", FSequence);
  return target.substr(0, start) + name + number + extension;
}

std::size_t TFileTransaction::Create(const std::string& target) {
  TStagedFile staged;
  staged.Target = target;
  if (!HasZeroByte(target)) {
    // A name that exists already (planted, or a leftover) is never opened:
    // another fresh name is tried instead.
    for (int attempt = 0; attempt < 16 && !staged.Handle; ++attempt) {
      staged.Temporary = FreshName(target, ".tmp");
      staged.Handle = FileOperations.CreateNew(staged.Temporary.c_str());
      if (!staged.Handle && !NameExists(staged.Temporary)) break;
    }
  }
  if (!staged.Handle) RaiseError("Cannot create file %s", {target});
  FFiles.push_back(std::move(staged));
  return FFiles.size() - 1;
}

void TFileTransaction::Finish(std::size_t file) {
  TakeFlushes(false);
  std::FILE* const handle = std::exchange(FFiles[file].Handle, nullptr);
  {
    const std::lock_guard<std::mutex> lock(FFlushMutex);
    FFlushes.push_back({file, handle, false, false});
    if (FFlushing) return;  // the running thread takes it
    FFlushing = true;
  }
  if (FFlushThread.joinable()) FFlushThread.join();  // ended with its last file
  try {
    FFlushThread = std::thread([this] { FlushQueued(); });
  } catch (const std::system_error&) {
    FlushQueued();  // no thread to be had: here, then
  }
}

void TFileTransaction::FlushQueued() {
  std::unique_lock<std::mutex> lock(FFlushMutex);
  for (;;) {
    // The first file not yet flushed. The queue grows at its end and loses
    // only files done at its front, which leaves this one where it is.
    const auto next = std::find_if(FFlushes.begin(), FFlushes.end(), [](const TFlush& flush) { return !flush.Done; });
    if (next == FFlushes.end()) break;
    TFlush& flush = *next;
    lock.unlock();
    const bool synced = FileOperations.Sync(flush.Handle);
    const bool flushed = FileOperations.Close(flush.Handle) && synced;
    lock.lock();
    flush.Flushed = flushed;
    flush.Done = true;
  }
  FFlushing = false;
  FFlushEnded.notify_all();
}

void TFileTransaction::AwaitFlushes() {
  {
    std::unique_lock<std::mutex> lock(FFlushMutex);
    FFlushEnded.wait(lock, [&] { return !FFlushing; });
  }
  if (FFlushThread.joinable()) FFlushThread.join();
}

void TFileTransaction::TakeFlushes(bool wait) {
  if (wait) AwaitFlushes();
  std::vector<TFlush> done;
  {
    const std::lock_guard<std::mutex> lock(FFlushMutex);
    while (!FFlushes.empty() && FFlushes.front().Done) {
      done.push_back(FFlushes.front());
      FFlushes.pop_front();
    }
  }
  for (std::size_t i = 0; i < done.size(); ++i) {
    TStagedFile& staged = FFiles[done[i].File];
    if (staged.Temporary.empty()) continue;  // abandoned meanwhile
    if (done[i].Flushed) {
      staged.Finished = true;
      continue;
    }
    // The rest are abandoned with the transaction; this one goes now, as
    // its error names it.
    Abandon(done[i].File);
    RaiseError("Cannot write file %s", {staged.Target});
  }
}

void TFileTransaction::Abandon(std::size_t file) {
  // A file still in the queue is closed by its flush: that is waited for.
  AwaitFlushes();
  TStagedFile& staged = FFiles[file];
  if (staged.Handle) FileOperations.Close(staged.Handle);
  staged.Handle = nullptr;
  if (!staged.Temporary.empty()) DeleteFileIfExists(staged.Temporary);
  staged.Temporary.clear();
  staged.Finished = false;
}

TSourceFile TFileTransaction::Copy(const std::string& folder, const std::string& name, const std::string& target) {
  if (HasZeroByte(folder) || HasZeroByte(name)) return TSourceFile::sfMissing;
  TSourceFile found = TSourceFile::sfRead;
  std::FILE* from = FileOperations.OpenRead(folder.c_str(), name.c_str(), found);
  if (!from) return found;
  struct TCloser {
    std::FILE* File;
    ~TCloser() { FileOperations.Close(File); }
  } closer{from};
  const std::size_t file = Create(target);
  char buffer[64 * 1024];
  for (;;) {
    std::size_t count = 0;
    if (!FileOperations.Read(buffer, sizeof buffer, from, count)) {
      Abandon(file);
      return TSourceFile::sfUnreadable;
    }
    if (count == 0) break;
    if (FileOperations.Write(buffer, count, File(file)) != count) {
      Abandon(file);
      RaiseError("Cannot write file %s", {target});
    }
  }
  Finish(file);
  return TSourceFile::sfRead;
}

void TFileTransaction::Commit() {
  TakeFlushes(true);
  // What would stop a move is found before the first one: a folder where a
  // file goes. A file marked read-only is kept from changes on purpose (a
  // source-control checkout does so): replacing it would quietly undo that.
  for (const TStagedFile& staged : FFiles) {
    if (!staged.Finished) continue;
    if (IsDirectoryEntry(staged.Target)) RaiseError("Cannot write file %s", {staged.Target});
    if (IsReadOnlyFile(staged.Target)) RaiseError("The file %s is read-only.", {staged.Target});
  }
  // The earlier files get second names, to be put back if a move fails. A
  // file system without hard links keeps no second name; such a file cannot
  // be put back.
  for (TStagedFile& staged : FFiles) {
    staged.Existed = staged.Finished && NameExists(staged.Target);
    if (!staged.Existed) continue;
    staged.Earlier = FreshName(staged.Target, ".old");
    if (!LinkFile(staged.Target, staged.Earlier)) staged.Earlier.clear();
  }

  std::string failed;
  std::size_t moved = 0;
  for (; moved < FFiles.size(); ++moved) {
    TStagedFile& staged = FFiles[moved];
    if (!staged.Finished) continue;
    if (!ReplaceFileWith(staged.Temporary, staged.Target)) {
      failed = staged.Target;
      break;
    }
    staged.Temporary.clear();
  }
  // The names live in the folders: flushed once each, after every move.
  std::set<std::string> folders;
  for (std::size_t i = 0; i < moved; ++i) folders.insert(ParentFolder(FFiles[i].Target));
  for (const std::string& folder : folders)
    if (failed.empty() && !FileOperations.SyncFolder(folder.c_str())) failed = folder;

  if (!failed.empty()) {
    RollBack(moved);
    std::string message = FormatText("Cannot write file %s", {failed});
    bool kept = false;
    for (const TStagedFile& staged : FFiles)
      if (staged.KeepEarlier) {
        message += FormatText(". The earlier file %s could not be put back: it is kept as %s until the next export",
                              {staged.Target, staged.Earlier});
        kept = true;
      }
    throw TException(kept ? message + "." : message);
  }
  RemoveEarlierFiles();
  for (TStagedFile& staged : FFiles) staged.Finished = false;
}

// Puts the earlier files of the first `moved` targets back, and removes the
// targets that had none. An earlier file that the file system will not put
// back is the only copy of it left: it stays under its second name, for the
// error to name.
void TFileTransaction::RollBack(std::size_t moved) {
  std::set<std::string> folders;
  for (std::size_t i = moved; i-- > 0;) {
    TStagedFile& staged = FFiles[i];
    if (!staged.Finished || !staged.Temporary.empty()) continue;
    if (!staged.Earlier.empty()) {
      if (ReplaceFileWith(staged.Earlier, staged.Target))
        staged.Earlier.clear();
      else
        staged.KeepEarlier = true;
    } else if (!staged.Existed) {
      DeleteFileIfExists(staged.Target);
    }
    folders.insert(ParentFolder(staged.Target));
  }
  for (const std::string& folder : folders) FileOperations.SyncFolder(folder.c_str());
}

void TFileTransaction::RemoveEarlierFiles() {
  for (TStagedFile& staged : FFiles) {
    if (!staged.Earlier.empty() && !staged.KeepEarlier) DeleteFileIfExists(staged.Earlier);
    staged.Earlier.clear();
  }
}

void TFileTransaction::RemoveStaleFiles(const std::string& folder) const {
  if (FMark.empty()) return;
  const std::string mark = "." + FMark + "-";
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != PathDelimiter && prefix.back() != '/') prefix += PathDelimiter;
  for (const std::string& name : FolderEntries(folder))
    if (name.front() == '.' && name.find(mark) != std::string::npos &&
        (EndsWith(name, ".tmp") || EndsWith(name, ".old")))
      DeleteFileIfExists(prefix + name);
}
