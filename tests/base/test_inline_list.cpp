#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "base/uInlineList.h"

namespace {
template <typename List>
std::vector<int> Items(const List& list) {
  return {list.begin(), list.end()};
}

TInlineList<int, 4> Filled(int count) {
  TInlineList<int, 4> list;
  for (int i = 0; i < count; ++i) list.push_back(i * 10);
  return list;
}
}  // namespace

TEST(InlineList, GrowingPastTheInlineItemsKeepsEveryItem) {
  for (const int count : {0, 1, 4, 5, 9, 1000}) {
    const auto list = Filled(count);
    ASSERT_EQ(list.size(), static_cast<uint32_t>(count));
    for (int i = 0; i < count; ++i) ASSERT_EQ(list[static_cast<uint32_t>(i)], i * 10) << count;
  }
}

TEST(InlineList, MovingTakesTheItemsAndEmptiesTheSource) {
  // Inline items are copied over, heap items change hands; either way the
  // source is left empty and usable.
  for (const int count : {3, 7}) {
    auto source = Filled(count);
    TInlineList<int, 4> moved(std::move(source));
    EXPECT_EQ(Items(moved), Items(Filled(count)));
    EXPECT_TRUE(source.empty());
    source.push_back(42);
    EXPECT_EQ(Items(source), std::vector<int>{42});

    TInlineList<int, 4> assigned = Filled(6);
    assigned = std::move(moved);
    EXPECT_EQ(Items(assigned), Items(Filled(count)));
    assigned.push_back(1);
    EXPECT_EQ(assigned.size(), static_cast<uint32_t>(count + 1));
  }
  // Lists of lists move their inner lists as the outer one grows.
  std::vector<TInlineList<int, 4>> lists;
  for (int i = 0; i < 50; ++i) lists.push_back(Filled(i % 9));
  for (int i = 0; i < 50; ++i) ASSERT_EQ(Items(lists[static_cast<std::size_t>(i)]), Items(Filled(i % 9)));
}

TEST(InlineList, ResizeAddsZerosAndReserveKeepsItems) {
  auto list = Filled(2);
  list.resize(6);
  EXPECT_EQ(Items(list), (std::vector<int>{0, 10, 0, 0, 0, 0}));
  list.reserve(100);
  list.reserve(3);
  EXPECT_EQ(Items(list), (std::vector<int>{0, 10, 0, 0, 0, 0}));
}

TEST(InlineList, CopiesAreIndependent) {
  for (const int count : {2, 4, 9}) {
    const auto original = Filled(count);
    TInlineList<int, 4> copy(original);
    copy.push_back(-1);
    copy[0] = 99;
    EXPECT_EQ(Items(original), Items(Filled(count)));
    EXPECT_EQ(copy.size(), static_cast<uint32_t>(count + 1));

    // Assigning over a list that is longer, or already on the heap.
    TInlineList<int, 4> target = Filled(12);
    target = original;
    EXPECT_EQ(Items(target), Items(Filled(count)));
    const TInlineList<int, 4>& same = target;
    target = same;
    EXPECT_EQ(Items(target), Items(Filled(count)));
    target.clear();
    EXPECT_TRUE(target.empty());
    EXPECT_EQ(Items(original), Items(Filled(count)));
  }
}
