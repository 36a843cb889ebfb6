// The file layer under injected failures: whatever step fails, the caller
// hears of it, the temporary file is gone and an earlier file of the same name
// is intact.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/FileFaults.h"
#include "../support/TempDir.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "xml/uBufferedFileStream.h"

namespace fs = std::filesystem;

namespace {
std::string Pattern(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}

// Writes 100,000 bytes in pieces through a stream with a 16 KB buffer, so that
// several blocks reach the file before it is closed.
void WriteStream(const std::string& fileName) {
  TBufferedFileStream stream(fileName, 16 * 1024);
  const std::string bytes = Pattern(100000);
  for (std::size_t at = 0; at < bytes.size(); at += 1000) stream.Write(bytes.data() + at, 1000);
  stream.Close();
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

TEST(FileLayerFaults, EachFailedStepOfAStreamIsReportedAndLeavesTheEarlierFile) {
  struct TCase {
    TFileFault Fault;
    uint64_t AtByte;
    const char* Message;
  };
  for (const TCase& c : {TCase{TFileFault::ffCreate, 0, "Cannot create file "},
                         TCase{TFileFault::ffWrite, 0, "Cannot write file "},
                         TCase{TFileFault::ffWrite, 40000, "Cannot write file "},  // in the third block
                         TCase{TFileFault::ffWrite, 99999, "Cannot write file "},  // the very last byte
                         TCase{TFileFault::ffSync, 0, "Cannot write file "},
                         TCase{TFileFault::ffClose, 0, "Cannot write file "},
                         TCase{TFileFault::ffReplace, 0, "Cannot write file "}}) {
    TTempDir dir;
    const std::string name = dir.File("target.bin");
    TTempDir::Write(name, "earlier");
    TFileFaults faults(c.Fault, "target.bin", c.AtByte);
    EXPECT_EQ(ErrorOf([&] { WriteStream(name); }), c.Message + name);
    EXPECT_EQ(faults.Hits(), 1);
    EXPECT_EQ(TTempDir::Read(name), "earlier");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"target.bin"});
  }
  // The same stream without a fault replaces the file whole.
  TTempDir dir;
  WriteStream(dir.File("target.bin"));
  EXPECT_EQ(TTempDir::Read(dir.File("target.bin")), Pattern(100000));
}

TEST(FileLayerFaults, OnlyTheFilesNamedAreAffected) {
  TTempDir dir;
  TFileFaults faults(TFileFault::ffCreate, "other");
  WriteStream(dir.File("target.bin"));
  EXPECT_EQ(faults.Hits(), 0);
  EXPECT_EQ(fs::file_size(dir.File("target.bin")), 100000u);
}

TEST(FileLayerFaults, EachFailedStepOfACopyLeavesTheEarlierTarget) {
  for (const TFileFault fault : {TFileFault::ffRead, TFileFault::ffCreate, TFileFault::ffWrite, TFileFault::ffSync,
                                 TFileFault::ffClose, TFileFault::ffReplace}) {
    TTempDir dir;
    TTempDir::Write(dir.File("source.png"), Pattern(200000));
    TTempDir::Write(dir.File("target.png"), "earlier");
    // The source is affected for reading, the target for everything else.
    TFileFaults faults(fault, fault == TFileFault::ffRead ? "source.png" : "target.png", 70000);
    {
      TFileTransaction transaction;
      // A source that cannot be read is the caller's to report; a target
      // that cannot be written is an error.
      if (fault == TFileFault::ffRead)
        EXPECT_EQ(transaction.Copy(dir.Path().string(), "source.png", dir.File("target.png")), TSourceFile::sfUnreadable);
      else
        EXPECT_NE(ErrorOf([&] {
                    transaction.Copy(dir.Path().string(), "source.png", dir.File("target.png"));
                    transaction.Commit();
                  }),
                  "");
    }
    EXPECT_EQ(faults.Hits(), 1);
    EXPECT_EQ(TTempDir::Read(dir.File("target.png")), "earlier");
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"source.png", "target.png"}));
  }
  TTempDir dir;
  TTempDir::Write(dir.File("source.png"), Pattern(200000));
  TFileTransaction transaction;
  EXPECT_EQ(transaction.Copy(dir.Path().string(), "source.png", dir.File("target.png")), TSourceFile::sfRead);
  transaction.Commit();
  EXPECT_EQ(TTempDir::Read(dir.File("target.png")), Pattern(200000));
}

TEST(FileLayerFaults, PathsWithAZeroByteAreNeverOpened) {
  TTempDir dir;
  const std::string cut = dir.File("name");
  const std::string name = cut + std::string(1, '\0') + ".mesh";
  EXPECT_EQ(ErrorOf([&] { TBufferedFileStream stream(name, 16); }), "Cannot create file " + name);
  TTempDir::Write(dir.File("source"), "bytes");
  TFileTransaction transaction;
  EXPECT_EQ(ErrorOf([&] { transaction.Copy(dir.Path().string(), "source", name); }), "Cannot create file " + name);
  // Cut at its zero byte, the name would be the existing "source".
  EXPECT_EQ(transaction.Copy(dir.Path().string(), std::string("source\0.png", 11), dir.File("target")),
            TSourceFile::sfMissing);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"source"});
}
