#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "base/uObjectBlocks.h"

namespace {
// Counts the objects alive; a constructor given `fail` throws.
struct TCounted {
  explicit TCounted(int value, bool fail = false) : Value(value) {
    if (fail) throw std::runtime_error("refused");
    ++Alive;
  }
  ~TCounted() { --Alive; }
  TCounted(const TCounted&) = delete;
  TCounted& operator=(const TCounted&) = delete;
  int Value;
  static inline int Alive = 0;
};
}  // namespace

TEST(ObjectBlocks, ObjectsKeepTheirAddressAndValueWhileBlocksAreAdded) {
  {
    TObjectBlocks<TCounted> blocks;
    std::vector<TCounted*> made;
    // Past several doublings and the largest block size.
    for (int i = 0; i < 20000; ++i) made.push_back(&blocks.Emplace(i));
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(made[static_cast<std::size_t>(i)]->Value, i);
    EXPECT_EQ(TCounted::Alive, 20000);
  }
  EXPECT_EQ(TCounted::Alive, 0) << "every object is destroyed with its blocks";
}

TEST(ObjectBlocks, ReservedRoomIsOneBlockFollowingTheLastObject) {
  TObjectBlocks<TCounted> blocks;
  blocks.Emplace(0);
  blocks.Reserve(1000);
  TCounted* first = &blocks.Emplace(1);
  for (int i = 2; i <= 1000; ++i) EXPECT_EQ(&blocks.Emplace(i), first + (i - 1)) << i;
  // Room already there is not reserved again.
  blocks.Reserve(0);
  TCounted* next = &blocks.Emplace(1001);
  EXPECT_NE(next, first + 1000) << "the reserved block is full";
}

TEST(ObjectBlocks, AThrowingConstructorLeavesNothingToDestroy) {
  {
    TObjectBlocks<TCounted> blocks;
    blocks.Emplace(1);
    EXPECT_THROW(blocks.Emplace(2, true), std::runtime_error);
    TCounted& after = blocks.Emplace(3);
    EXPECT_EQ(after.Value, 3);
    EXPECT_EQ(TCounted::Alive, 2);
  }
  EXPECT_EQ(TCounted::Alive, 0);
}
