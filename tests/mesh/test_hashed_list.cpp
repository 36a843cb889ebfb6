// The hashed list finds, for a looked-up item, the newest stored item of the
// same key that the traits accept. Its index slots keep only the top bits of
// each key's hash: keys whose hashes share those bits must still be told
// apart by the keys themselves, before and after the index grows.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "mesh/HashedListCl.h"

namespace {
// An item: a key and a value; items of one key are equal when their values
// are, and a negative key equals nothing.
struct TItem {
  int32_t Key;
  int32_t Value;
};

// Hashes chosen by the test: the top 32 bits, which hold the slot's tag and
// pick the probe's first slot, are the same for every key, so only the keys
// themselves tell the slots apart.
struct TSharedTagTraits {
  using KeyT = int32_t;
  static bool KeyOf(const TItem& item, KeyT& key) {
    key = item.Key;
    return item.Key >= 0;
  }
  static uint64_t HashKey(const KeyT& key) { return 0xABCD1234'00000000u | static_cast<uint32_t>(key); }
  static bool Compare(const TItem& lookedUp, const TItem& stored) { return lookedUp.Value == stored.Value; }
};

// Every key its own tag (keys below 4096), all of them starting their probe
// at one slot in an index of up to a million slots.
struct TSharedSlotTraits : TSharedTagTraits {
  static uint64_t HashKey(const KeyT& key) { return (0xABCDE000u | static_cast<uint64_t>(key)) << 32; }
};

template <typename Traits>
int32_t Add(THashedObjectList<TItem, Traits>& list, TItem item) {
  return list.FindOrAdd(item, [&](TItem& stored) { stored = item; }, [&] { return item; });
}

template <typename Traits>
void KeysAreToldApartByThemselves() {
  THashedObjectList<TItem, Traits> list;
  // 300 keys, each with two values: enough to make the index grow from 16
  // slots several times while every key's slot sits in one long probe.
  constexpr int32_t kKeys = 300;
  for (int32_t key = 0; key < kKeys; ++key) ASSERT_EQ(Add(list, {key, 1}), key);
  for (int32_t key = 0; key < kKeys; ++key) ASSERT_EQ(Add(list, {key, 2}), kKeys + key);
  ASSERT_EQ(list.Count(), 2 * kKeys);
  for (int32_t key = 0; key < kKeys; ++key) {
    EXPECT_EQ(list.IndexOfItem({key, 1}), key) << key;
    EXPECT_EQ(list.IndexOfItem({key, 2}), kKeys + key) << key;
    EXPECT_EQ(list.IndexOfItem({key, 3}), -1) << key;
  }
  // A key never stored finds nothing, though its probe meets them all.
  EXPECT_EQ(list.IndexOfItem({kKeys, 1}), -1);
  // A found item is the one merged into: no new item, the stored value stays.
  EXPECT_EQ(Add(list, {7, 2}), kKeys + 7);
  EXPECT_EQ(list.Count(), 2 * kKeys);
  // An item without a key is appended and never found.
  EXPECT_EQ(Add(list, {-1, 1}), 2 * kKeys);
  EXPECT_EQ(list.IndexOfItem({-1, 1}), -1);
}
}  // namespace

TEST(HashedList, KeysWhoseHashesShareTheirTopBitsAreToldApartByTheKeys) {
  KeysAreToldApartByThemselves<TSharedTagTraits>();
}

TEST(HashedList, KeysThatStartTheirProbeAtOneSlotAreToldApartByTheirTags) {
  KeysAreToldApartByThemselves<TSharedSlotTraits>();
}

TEST(HashedList, ReservedRoomFindsWhatWasAddedBeforeAndAfter) {
  THashedObjectList<TItem, TSharedSlotTraits> list;
  for (int32_t key = 0; key < 20; ++key) Add(list, {key, 1});
  // The index made larger at once re-enters every key from its tag alone.
  list.ReserveKeys(5000);
  for (int32_t key = 20; key < 40; ++key) Add(list, {key, 1});
  for (int32_t key = 0; key < 40; ++key) EXPECT_EQ(list.IndexOfItem({key, 1}), key) << key;
}
