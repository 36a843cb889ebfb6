#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include "../support/TempDir.h"
#include "base/uException.h"
#include "xml/uBufferedFileStream.h"
#include "xml/uBufferedStringStream.h"

namespace {
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return bytes;
}
}  // namespace

TEST(BufferedFileStream, PositionCountsBufferedBytes) {
  TTempDir dir;
  TBufferedFileStream stream(dir.File("f"), 4096);
  const std::string bytes = Pattern(5000);
  stream.Write(bytes.data(), 2500);
  EXPECT_EQ(stream.Position(), 2500);
  stream.Write(bytes.data() + 2500, 2500);
  EXPECT_EQ(stream.Position(), 5000);
}

TEST(BufferedFileStream, WritesLargerThanTheBufferArriveInOrder) {
  TTempDir dir;
  const std::string name = dir.File("f");
  const std::string bytes = Pattern(3 * 4096 + 123);
  {
    TBufferedFileStream stream(name, 4096);
    stream.Write(bytes.data(), 100);
    stream.Write(bytes.data() + 100, bytes.size() - 200);  // spans several flushes
    for (std::size_t i = bytes.size() - 100; i < bytes.size(); ++i) stream.Write(&bytes[i], 1);
    stream.Close();
  }
  EXPECT_EQ(TTempDir::Read(name), bytes);
}

TEST(BufferedFileStream, NothingAppearsWithoutClose) {
  TTempDir dir;
  const std::string name = dir.File("f");
  {
    TBufferedFileStream stream(name, 16);
    stream.Write("0123456789012345678901234567890123456789", 40);
  }
  EXPECT_FALSE(std::filesystem::exists(name));
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

TEST(BufferedFileStream, OnlyThePositionQueryIsSupported) {
  TTempDir dir;
  TBufferedFileStream stream(dir.File("f"), 64);
  // A pair rather than structured bindings: clang 14 cannot capture bindings in a lambda.
  for (const auto& request : {std::pair{int64_t{0}, TSeekOrigin::soBeginning},
                              std::pair{int64_t{0}, TSeekOrigin::soEnd}, std::pair{int64_t{5}, TSeekOrigin::soCurrent}}) {
    EXPECT_EQ(ErrorOf([&] { stream.Seek(request.first, request.second); }),
              "Seek not supported on buffered file stream.");
  }
}

TEST(BufferedStringStream, GrowsByDoublingAndKeepsEverything) {
  TBufferedStringStream stream(4);
  const std::string bytes = Pattern(1000);
  std::size_t written = 0;
  for (std::size_t size : {1u, 3u, 4u, 100u, 892u}) {
    EXPECT_EQ(stream.Write(bytes.data() + written, size), size);
    written += size;
    EXPECT_EQ(stream.GetText(), bytes.substr(0, written));
  }
}

TEST(BufferedStringStream, StartingWithoutCapacityStillGrows) {
  TBufferedStringStream stream(0);
  stream.Write("abc", 3);
  EXPECT_EQ(stream.GetText(), "abc");
  EXPECT_EQ(stream.Position(), 3);
}
