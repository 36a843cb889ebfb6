// Several files written as one: every step of a transaction failing in turn,
// what is flushed before it is published, planted links and names, stale
// leftovers, and the lock that keeps a second writer out.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/FileFaults.h"
#include "../support/TempDir.h"
#include "base/uException.h"
#include "platform/uFileLock.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"

namespace fs = std::filesystem;

namespace {
void WriteInto(TFileTransaction& transaction, const std::string& target, const std::string& text) {
  const std::size_t file = transaction.Create(target);
  // As the streams write: a short write is the writer's error to raise.
  if (FileOperations.Write(text.data(), text.size(), transaction.File(file)) != text.size())
    RaiseError("Cannot write file %s", {target});
  transaction.Finish(file);
}

// Three files in two folders, each holding "earlier ..." before.
struct TThreeFiles {
  TTempDir Dir;
  std::vector<std::string> Targets;
  TThreeFiles() {
    fs::create_directories(Dir.File("a"));
    fs::create_directories(Dir.File("b"));
    Targets = {Dir.File("a/one.bin"), Dir.File("b/two.bin"), Dir.File("a/three.bin")};
    for (const std::string& target : Targets) TTempDir::Write(target, "earlier " + target);
  }
  void Write(std::string_view owner = {}) {
    TFileTransaction transaction(owner);
    for (const std::string& target : Targets) WriteInto(transaction, target, "new " + target);
    transaction.Commit();
  }
  // "earlier", "new" or "mixed".
  std::string State() const {
    int fresh = 0;
    for (const std::string& target : Targets) fresh += TTempDir::Read(target) == "new " + target;
    for (const std::string& target : Targets)
      if (TTempDir::Read(target) != "new " + target && TTempDir::Read(target) != "earlier " + target) return "broken";
    return fresh == 0 ? "earlier" : fresh == 3 ? "new" : "mixed";
  }
};
}  // namespace

TEST(FileTransaction, AnyFailedStepLeavesEveryEarlierFileAndNoTemporaryFile) {
  struct TCase {
    TFileFault Fault;
    const char* Part;
  };
  for (const TCase& c : {TCase{TFileFault::ffCreate, "two.bin"}, TCase{TFileFault::ffWrite, "three.bin"},
                         TCase{TFileFault::ffSync, "one.bin"}, TCase{TFileFault::ffClose, "two.bin"},
                         // The moves: the first, one in the middle, the last.
                         TCase{TFileFault::ffReplace, "one.bin"}, TCase{TFileFault::ffReplace, "two.bin"},
                         TCase{TFileFault::ffReplace, "three.bin"},
                         // The flush of a folder after the moves.
                         TCase{TFileFault::ffSyncFolder, "/b"}}) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.Fault)) + " " + c.Part);
    TThreeFiles files;
    const std::vector<std::string> names = TTempDir::Tree(files.Dir.Path());
    {
      TFileFaults faults(c.Fault, c.Part);
      EXPECT_NE(ErrorOf([&] { files.Write(); }), "no error");
      EXPECT_GE(faults.Hits(), 1);
    }
    EXPECT_EQ(files.State(), "earlier");
    EXPECT_EQ(TTempDir::Tree(files.Dir.Path()), names);
  }
}

// A file is flushed to the disk while the next one is written: its failure
// comes up at the next step (the next file's Finish, or the commit for the
// last file), still naming that file, and nothing is published.
TEST(FileTransaction, AFlushThatFailsBehindTheNextFileNamesItsOwnFile) {
  for (const std::size_t failing : {0u, 1u, 2u}) {
    for (const TFileFault fault : {TFileFault::ffSync, TFileFault::ffClose}) {
      TThreeFiles files;
      const std::string target = files.Targets[failing];
      SCOPED_TRACE(target + (fault == TFileFault::ffSync ? " sync" : " close"));
      const std::vector<std::string> names = TTempDir::Tree(files.Dir.Path());
      {
        TFileFaults faults(fault, fs::path(target).filename().string());
        EXPECT_EQ(ErrorOf([&] { files.Write(); }), "Cannot write file " + target);
        EXPECT_EQ(faults.Hits(), 1);
      }
      EXPECT_EQ(files.State(), "earlier");
      EXPECT_EQ(TTempDir::Tree(files.Dir.Path()), names);
    }
  }
}

TEST(FileTransaction, FilesAreOnTheDiskBeforeTheyArePublishedAndTheFoldersAfter) {
  TThreeFiles files;
  TFileFaults counting(TFileFault::ffNone, "");
  files.Write();
  EXPECT_EQ(files.State(), "new");
  const std::vector<std::string>& events = counting.Events();
  // Each temporary file is flushed before any move; each folder once after all.
  std::vector<std::string> kinds;
  for (const std::string& event : events) kinds.push_back(event.substr(0, event.find(' ')));
  EXPECT_EQ(kinds, (std::vector<std::string>{"sync", "sync", "sync", "move", "move", "move", "folder", "folder"}));
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string synced = events[i].substr(5);
    EXPECT_EQ(events[3 + i].substr(5, synced.size()), synced);  // the file moved is the file flushed
  }
  EXPECT_EQ(events[6].substr(7), fs::path(files.Dir.File("a")).generic_string());
  EXPECT_EQ(events[7].substr(7), fs::path(files.Dir.File("b")).generic_string());
}

TEST(FileTransaction, AFolderWhereAFileGoesIsFoundBeforeAnythingMoves) {
  TThreeFiles files;
  fs::remove(files.Targets[2]);
  fs::create_directories(files.Targets[2]);
  EXPECT_EQ(ErrorOf([&] { files.Write(); }), "Cannot write file " + files.Targets[2]);
  for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(TTempDir::Read(files.Targets[i]), "earlier " + files.Targets[i]);
  EXPECT_TRUE(fs::is_directory(files.Targets[2]));
}

TEST(FileTransaction, AFileMarkedReadOnlyIsFoundBeforeAnythingMovesAndStaysAsItWas) {
  TThreeFiles files;
  // The last target, so that every other move would have happened first.
  fs::permissions(files.Targets[2], fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::vector<std::string> names = TTempDir::Tree(files.Dir.Path());
  EXPECT_EQ(ErrorOf([&] { files.Write(); }), "The file " + files.Targets[2] + " is read-only.");
  EXPECT_EQ(files.State(), "earlier");
  EXPECT_EQ(TTempDir::Tree(files.Dir.Path()), names);
  // Write permission for the owner alone is enough to replace it.
  fs::permissions(files.Targets[2], fs::perms::owner_write, std::filesystem::perm_options::add);
  files.Write();
  EXPECT_EQ(files.State(), "new");
}

TEST(FileTransaction, AnEarlierFileThatCannotBePutBackIsKeptAndNamedInTheError) {
  TThreeFiles files;
  // The last move fails, and so does putting back what the first two replaced.
  struct TRefusingPutBack {
    TRefusingPutBack() {
      FileOperations.Replace = [](const char* from, const char* to) {
        if (std::string_view(to).ends_with("three.bin") || std::string_view(from).ends_with(".old")) return false;
        return PlatformFileOperations.Replace(from, to);
      };
    }
    ~TRefusingPutBack() { FileOperations = PlatformFileOperations; }
  };
  std::string error;
  {
    TRefusingPutBack refusing;
    error = ErrorOf([&] { files.Write(); });
  }
  const std::string start = "Cannot write file " + files.Targets[2] + ". ";
  ASSERT_EQ(error.substr(0, start.size()), start) << error;
  EXPECT_EQ(error.back(), '.');
  EXPECT_EQ(TTempDir::Read(files.Targets[2]), "earlier " + files.Targets[2]);
  // Each of the two is named with the file that holds its earlier version,
  // in the order the transaction wrote them.
  std::size_t at = 0;
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string said = "The earlier file " + files.Targets[i] + " could not be put back: it is kept as ";
    at = error.find(said, at);
    ASSERT_NE(at, std::string::npos) << error;
    at += said.size();
    const std::string kept = error.substr(at, error.find(".old", at) + 4 - at);
    EXPECT_EQ(TTempDir::Read(kept), "earlier " + files.Targets[i]) << kept;
    EXPECT_EQ(TTempDir::Read(files.Targets[i]), "new " + files.Targets[i]);
  }
}

// Links are POSIX here; Windows refuses an existing name the same way.
#ifndef _WIN32
TEST(FileTransaction, NothingPlantedBesideATargetIsWrittenThrough) {
  TTempDir dir;
  TTempDir::Write(dir.File("victim"), "victim");
  // A link where a file is created exclusively is refused, not followed.
  fs::create_symlink(dir.File("victim"), dir.File("planted"));
  EXPECT_EQ(PlatformFileOperations.CreateNew(dir.File("planted").c_str()), nullptr);
  // The old fixed temporary name of a target is an ordinary file now: a
  // texture named so survives the copy of its neighbour.
  TTempDir::Write(dir.File("x.png.tmp"), "a texture of its own");
  TTempDir::Write(dir.File("source.png"), "source");
  {
    TFileTransaction transaction;
    ASSERT_EQ(transaction.Copy(dir.Path().string(), "source.png", dir.File("x.png")), TSourceFile::sfRead);
    transaction.Commit();
  }
  EXPECT_EQ(TTempDir::Read(dir.File("x.png")), "source");
  EXPECT_EQ(TTempDir::Read(dir.File("x.png.tmp")), "a texture of its own");
  EXPECT_EQ(TTempDir::Read(dir.File("victim")), "victim");
  EXPECT_EQ(TTempDir::Tree(dir.Path()), (std::vector<std::string>{"planted", "source.png", "victim", "x.png", "x.png.tmp"}));
}
#endif

TEST(FileTransaction, TwoWritersOfOneTargetNeverShareATemporaryFile) {
  TTempDir dir;
  const std::string target = dir.File("A.mesh");
  TFileTransaction first("asset"), second("asset");
  const std::size_t one = first.Create(target), two = second.Create(target);
  // Interleaved writes: each file gets only its own bytes.
  for (int i = 0; i < 1000; ++i) {
    std::fputs("first;", first.File(one));
    std::fputs("second;", second.File(two));
  }
  first.Finish(one);
  second.Finish(two);
  first.Commit();
  std::string expected;
  for (int i = 0; i < 1000; ++i) expected += "first;";
  EXPECT_EQ(TTempDir::Read(target), expected);
  second.Commit();
  EXPECT_EQ(TTempDir::Read(target).substr(0, 7), "second;");
  EXPECT_EQ(TTempDir::Tree(dir.Path()), std::vector<std::string>{"A.mesh"});
}

TEST(FileTransaction, AKilledTransactionsLeftoversAreRemovedByItsOwnerOnly) {
  TTempDir dir;
  const std::string target = dir.File("A.mesh");
  // What a killed transaction leaves: its temporary file, created but never
  // committed nor removed. A transaction makes it, and it is put back after
  // the transaction's end, closed, as a killed process leaves it (a live
  // transaction may still hold it open while it flushes it to the disk).
  std::string leftover;
  {
    TFileTransaction killed("asset a");
    WriteInto(killed, target, "half");
    leftover = TTempDir::Tree(dir.Path()).at(0);
  }
  TTempDir::Write(dir.File(leftover), "half");
  auto* other = new TFileTransaction("asset b");
  WriteInto(*other, dir.File("B.mesh"), "in flight");
  TTempDir::Write(dir.File(".A.mesh.tmp"), "not ours");
  ASSERT_EQ(TTempDir::Tree(dir.Path()).size(), 3u);

  TFileTransaction next("asset a");
  next.RemoveStaleFiles(dir.Path().string());
  const std::vector<std::string> left = TTempDir::Tree(dir.Path());
  EXPECT_EQ(left.size(), 2u);
  EXPECT_TRUE(std::find(left.begin(), left.end(), ".A.mesh.tmp") != left.end());
  // The other owner's file, still being written, is untouched and commits.
  other->Commit();
  EXPECT_EQ(TTempDir::Read(dir.File("B.mesh")), "in flight");
  delete other;
  EXPECT_FALSE(fs::exists(target));
}

TEST(FileLock, ASecondHolderIsRefusedAtOnceUntilTheFirstLetsGo) {
  TTempDir dir;
  const std::string path = dir.File(".A.lock");
  {
    const auto first = TFileLock::TryAcquire(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(TFileLock::TryAcquire(path), nullptr);
    EXPECT_NE(TFileLock::TryAcquire(dir.File(".B.lock")), nullptr);  // another asset
  }
  // Released: the file is gone, and the lock can be taken again.
  EXPECT_FALSE(fs::exists(path));
  EXPECT_NE(TFileLock::TryAcquire(path), nullptr);
  // A lock file left by a process that died holds no lock.
  TTempDir::Write(path, "");
  EXPECT_NE(TFileLock::TryAcquire(path), nullptr);
}

// The user never made the lock file and cannot act on its name: the error
// names the folder that refused it and the system's reason, unless something
// else stands where the lock file goes.
TEST(FileLock, AFolderThatRefusesTheLockIsNamedWithTheSystemsReason) {
  TTempDir dir;
  const std::string error = ErrorOf([&] { TFileLock::TryAcquire(dir.File("missing/.A.lock")); });
#ifdef _WIN32
  // The reason is in the words of the system's message table, which differ
  // between Windows and Wine.
  EXPECT_EQ(error.rfind("Cannot write into the folder " + dir.File("missing") + " (", 0), 0u) << error;
  EXPECT_EQ(error.substr(error.size() - 2), ").");
#else
  EXPECT_EQ(error, "Cannot write into the folder " + dir.File("missing") + " (No such file or directory).");
  // A regular file where a folder should be refuses even the superuser.
  TTempDir::Write(dir.File("plain"), "");
  EXPECT_EQ(ErrorOf([&] { TFileLock::TryAcquire(dir.File("plain/.A.lock")); }),
            "Cannot write into the folder " + dir.File("plain") + " (Not a directory).");
  fs::create_directory(dir.File(".A.lock"));
  EXPECT_EQ(ErrorOf([&] { TFileLock::TryAcquire(dir.File(".A.lock")); }),
            "Cannot create file " + dir.File(".A.lock") + " (Is a directory)");
#endif
}
