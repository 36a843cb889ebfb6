#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include "../support/TempDir.h"
#include "platform/uMappedFile.h"

TEST(MappedFile, ARegularFileIsMappedByteForByte) {
  TTempDir dir;
  // More than a page, with zero bytes and CR LF inside.
  std::string content;
  for (int i = 0; i < 5000; ++i) content += "<a n=\"" + std::to_string(i) + "\"/>\r\n" + std::string(1, '\0');
  TTempDir::Write(dir.File("scene.xml"), content);
  const TMappedFile mapped(dir.File("scene.xml"));
  ASSERT_TRUE(mapped.IsMapped());
  EXPECT_EQ(mapped.Text(), content);
}

TEST(MappedFile, WhatCannotBeMappedIsLeftToTheStreamReader) {
  TTempDir dir;
  TTempDir::Write(dir.File("empty.xml"), "");
  std::filesystem::create_directories(dir.File("folder"));
  for (const std::string name : {"empty.xml", "folder", "missing.xml"}) {
    const TMappedFile mapped(dir.File(name));
    EXPECT_FALSE(mapped.IsMapped()) << name;
    EXPECT_TRUE(mapped.Text().empty()) << name;
  }
#ifndef _WIN32
  // A pipe without a writer must not block the opening.
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(TMappedFile(dir.File("pipe")).IsMapped());
#endif
}

namespace {
// A file of `pages` pages of 'x' (4096 bytes each, a multiple of every page size that matters here).
std::string WriteFileOfPages(const TTempDir& dir, const std::string& name, int pages) {
  const std::string fileName = dir.File(name);
  TTempDir::Write(fileName, std::string(static_cast<std::size_t>(pages) * 4096, 'x'));
  return fileName;
}

void SetModifiedLater(const std::string& fileName, std::filesystem::file_time_type than) {
  std::filesystem::last_write_time(fileName, than + std::chrono::seconds(2));
}
}  // namespace

TEST(MappedFileChanges, AnUntouchedFileIsNotChanged) {
  TTempDir dir;
  const std::string fileName = WriteFileOfPages(dir, "scene.xml", 3);
  TMappedFile mapped(fileName);
  ASSERT_TRUE(mapped.IsMapped());
  std::size_t read = 0;
  mapped.Read([&](std::string_view text) { read = static_cast<std::size_t>(std::count(text.begin(), text.end(), 'x')); });
  EXPECT_EQ(read, 3u * 4096);
  EXPECT_FALSE(mapped.Changed());
  // Neither is a pipe or a missing file, which have nothing to compare.
  EXPECT_FALSE(TMappedFile(dir.File("missing.xml")).Changed());
#ifndef _WIN32
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(TMappedFile(dir.File("pipe")).Changed());
#endif
}

TEST(MappedFileChanges, ARewriteOfTheSameLengthIsAChange) {
  TTempDir dir;
  const std::string fileName = WriteFileOfPages(dir, "scene.xml", 3);
  const auto written = std::filesystem::last_write_time(fileName);
  const TMappedFile mapped(fileName);
  ASSERT_TRUE(mapped.IsMapped());
  {
    std::fstream file(fileName, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096);
    file << std::string(4096, 'y');
  }
  SetModifiedLater(fileName, written);
  EXPECT_EQ(std::filesystem::file_size(fileName), 3u * 4096);
  EXPECT_TRUE(mapped.Changed());
}

TEST(MappedFileChanges, AFileThatWasEmptyAndGrewIsAChange) {
  // An empty file is not mapped but read as a stream after it was opened:
  // what the stream finds must still be what was opened.
  TTempDir dir;
  const std::string fileName = dir.File("scene.xml");
  TTempDir::Write(fileName, "");
  const auto written = std::filesystem::last_write_time(fileName);
  const TMappedFile mapped(fileName);
  ASSERT_FALSE(mapped.IsMapped());
  EXPECT_FALSE(mapped.Changed());
  TTempDir::Write(fileName, "<scene />");
  SetModifiedLater(fileName, written);
  EXPECT_TRUE(mapped.Changed());
}

#ifndef _WIN32
// Windows refuses to truncate, replace or delete a mapped file; elsewhere
// another program may do all three while the file is read.

TEST(MappedFileChanges, AnotherFileUnderTheNameIsAChangeEvenWithTheSameSizeAndTime) {
  TTempDir dir;
  const std::string fileName = WriteFileOfPages(dir, "scene.xml", 3);
  const TMappedFile mapped(fileName);
  ASSERT_TRUE(mapped.IsMapped());
  const std::string saved = WriteFileOfPages(dir, "scene.xml.new", 3);
  std::filesystem::last_write_time(saved, std::filesystem::last_write_time(fileName));
  std::filesystem::rename(saved, fileName);
  EXPECT_TRUE(mapped.Changed());

  const TMappedFile deleted(fileName);
  ASSERT_TRUE(deleted.IsMapped());
  std::filesystem::remove(fileName);
  EXPECT_TRUE(deleted.Changed());
}

namespace {
struct sigaction BusAction() {
  struct sigaction action {};
  sigaction(SIGBUS, nullptr, &action);
  return action;
}

bool SameAction(const struct sigaction& a, const struct sigaction& b) {
  return a.sa_flags == b.sa_flags && (a.sa_flags & SA_SIGINFO ? a.sa_sigaction == b.sa_sigaction
                                                                : a.sa_handler == b.sa_handler);
}
}  // namespace

TEST(MappedFileChanges, PagesLostToATruncationReadAsZerosInsteadOfABusError) {
  TTempDir dir;
  const std::string fileName = WriteFileOfPages(dir, "scene.xml", 5);
  TMappedFile mapped(fileName);
  ASSERT_TRUE(mapped.IsMapped());
  std::filesystem::resize_file(fileName, 4096 + 10);
  const struct sigaction before = BusAction();
  std::size_t xs = 0, zeros = 0;
  mapped.Read([&](std::string_view text) {
    for (const char c : text) {
      xs += c == 'x';
      zeros += c == '\0';
    }
  });
  EXPECT_EQ(xs, 4096u + 10);
  EXPECT_EQ(zeros, 4u * 4096 - 10);
  EXPECT_TRUE(mapped.Changed());
  EXPECT_TRUE(SameAction(BusAction(), before)) << "the previous handling of bus errors is back";

  // Also when the reader gives up with an error.
  TTempDir::Write(fileName, std::string(5 * 4096, 'x'));
  TMappedFile again(fileName);
  std::filesystem::resize_file(fileName, 0);
  EXPECT_THROW(again.Read([&](std::string_view text) {
    if (text[3 * 4096] == '\0') throw std::runtime_error("garbage");
  }),
               std::runtime_error);
  EXPECT_TRUE(again.Changed());
  EXPECT_TRUE(SameAction(BusAction(), before));
}

TEST(MappedFileChangesDeathTest, ABusErrorOutsideTheMappingStillEndsTheProcess) {
  TTempDir dir;
  const std::string ours = WriteFileOfPages(dir, "scene.xml", 2);
  const std::string other = WriteFileOfPages(dir, "other.xml", 2);
  // Another mapping whose file lost its pages: not ours to patch up.
  EXPECT_DEATH(
      {
        TMappedFile mapped(ours);
        const TMappedFile foreign(other);
        std::filesystem::resize_file(other, 0);
        mapped.Read([&](std::string_view) {
          volatile const char* lost = foreign.Text().data() + 4096;
          std::fprintf(stderr, "read %d\n", *lost);
        });
      },
      "");
  // Nor is a bus error that was sent rather than faulted.
  EXPECT_DEATH(
      {
        TMappedFile mapped(ours);
        mapped.Read([&](std::string_view) { raise(SIGBUS); });
        std::fprintf(stderr, "survived\n");
        std::exit(0);
      },
      "");
}
#endif

#ifdef __linux__
TEST(MappedFile, APipeIsNotEvenOpened) {
  // Opening it would let a writer waiting for a reader start writing, and
  // find no reader once the pipe is closed again: the writer died of SIGPIPE,
  // and the tool, opening the pipe for its stream, waited for it forever.
  TTempDir dir;
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, pipe.c_str(), IN_OPEN), 0);
  EXPECT_FALSE(TMappedFile(pipe).IsMapped());
  alignas(inotify_event) char events[4096];
  EXPECT_LT(read(watch, events, sizeof events), 0) << "the pipe was opened";
  close(watch);
}
#endif
