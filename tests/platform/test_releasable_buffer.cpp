#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/uReleasableBuffer.h"
#include "../support/AddressSpace.h"

namespace {
constexpr std::size_t kMegabyte = 1024 * 1024;

bool AllZero(const char* from, std::size_t length) {
  return std::all_of(from, from + length, [](char c) { return c == 0; });
}
}  // namespace

TEST(ReleasableBuffer, StartsZeroFilledAtEverySize) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{4097}, 3 * kMegabyte + 5}) {
    TReleasableBuffer buffer(size);
    ASSERT_NE(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Size(), size);
    EXPECT_TRUE(AllZero(buffer.Data(), size)) << size;
    std::memset(buffer.Data(), 'x', size);  // every byte writable
  }
  // An empty text still has a byte to stand on.
  TReleasableBuffer empty(0);
  ASSERT_NE(empty.Data(), nullptr);
  EXPECT_EQ(empty.Data()[0], 0);
}

TEST(ReleasableBuffer, GivesBackOnlyWholePiecesBeforeTheReadingPosition) {
  const std::size_t size = 8 * kMegabyte;
  TReleasableBuffer buffer(size);
  char* const data = buffer.Data();
  std::memset(data, 'a', size);

  // Nothing lies wholly before the first byte.
  buffer.ReleaseBefore(data);
  EXPECT_FALSE(IsAddressFree(data));

  // Half-way: the start's addresses are free again, and everything from the
  // position on is still there and unchanged, the piece it is in included.
  const char* middle = data + size / 2 + 100;
  buffer.ReleaseBefore(middle);
  EXPECT_TRUE(IsAddressFree(data));
  EXPECT_TRUE(IsAddressFree(data + size / 4));
  EXPECT_TRUE(std::all_of(data + size / 2, data + size, [](char c) { return c == 'a'; }));

  // Going back releases nothing more; going past the end releases the rest
  // without touching anything beyond the buffer.
  buffer.ReleaseBefore(data + 10);
  EXPECT_EQ(data[size - 1], 'a');
  buffer.ReleaseBefore(data + 2 * size);
  EXPECT_TRUE(IsAddressFree(data + size - 1));
}

TEST(ReleasableBuffer, FreeingAndMovingHandTheWholeBlockOnOnce) {
  char* data = nullptr;
  {
    TReleasableBuffer first(2 * kMegabyte);
    data = first.Data();
    data[0] = 'q';
    TReleasableBuffer second(std::move(first));
    EXPECT_EQ(second.Data(), data);
    EXPECT_EQ(second.Size(), 2 * kMegabyte);
    EXPECT_EQ(first.Data(), nullptr);  // NOLINT(bugprone-use-after-move): a moved-from buffer holds nothing
    TReleasableBuffer third;
    third = std::move(second);
    EXPECT_EQ(third.Data()[0], 'q');
    second.ReleaseBefore(data + kMegabyte);  // NOLINT(bugprone-use-after-move): a moved-from buffer holds nothing
    EXPECT_FALSE(IsAddressFree(data));
    third.ReleaseBefore(data + kMegabyte + 1);
  }
  EXPECT_TRUE(IsAddressFree(data));
  EXPECT_TRUE(IsAddressFree(data + 2 * kMegabyte - 1));
}
