#pragma once
// A list of items in the order they were added, with a hash index that finds,
// for a looked-up item, the most recently added item that counts as equal.
//
// The index is keyed on an exact key that the traits derive from each item
// (for output vertices: the bit patterns of the position). Only items of the
// same key are ever compared, newest first: each key's slot holds the newest
// item with that key, and each item links to the next older item with the same
// key. Whatever equality the traits' Compare would grant across two different
// keys is therefore never found; a traits class picks its key so that this is
// the behaviour it wants.
//
// The traits class provides:
//   using KeyT = ...;                                   trivially copyable, with ==
//   static bool KeyOf(const Item& item, KeyT& key);    false: the item equals nothing
//   static uint64_t HashKey(const KeyT& key);           well mixed in its high bits
//   static bool Compare(const Item& lookedUp, const Item& stored);
//
// Items are held by value and handed over as a whole with TakeItems. The list
// only grows: nothing is removed before it is taken over or destroyed, which
// keeps an item's index its position for good.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/uException.h"


template <typename Item, typename Traits>
class THashedObjectList {
public:
  using KeyT = typename Traits::KeyT;

  int Count() const noexcept { return static_cast<int>(FItems.size()); }

  const Item& GetItem(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FItems.size()) RaiseListIndexError(index);
    return FItems[static_cast<std::size_t>(index)];
  }

  // The index of the most recently added item that Compare accepts, or -1.
  int32_t IndexOfItem(const Item& item) const {
    KeyT key{};
    if (FSlots.empty() || !Traits::KeyOf(item, key)) return -1;
    return FindInChain(FSlots[FindSlot(key, Traits::HashKey(key))].Head, item);
  }

  // Looks the item up as IndexOfItem does. When an equal item is found,
  // merge(stored) runs on it and its index is returned; merge must leave the
  // item's key unchanged. Otherwise make() is appended as the newest item of
  // its key and its index returned. One probe of the index serves both ways.
  template <typename Merge, typename Make>
  int32_t FindOrAdd(const Item& item, Merge&& merge, Make&& make) {
    KeyT key{};
    if (!Traits::KeyOf(item, key)) return Append(make(), -1);  // equals nothing: not indexed

    const uint64_t hash = Traits::HashKey(key);
    if (FSlots.empty()) Grow();
    std::size_t slot = FindSlot(key, hash);
    const int32_t head = FSlots[slot].Head;
    if (head >= 0) {
      const int32_t found = FindInChain(head, item);
      if (found >= 0) {
        Item& stored = FItems[static_cast<std::size_t>(found)];
        merge(stored);
        assert(KeyUnchanged(stored, key));
        return found;
      }
      FSlots[slot].Head = Append(make(), head);
      return FSlots[slot].Head;
    }

    // A key not seen before: it takes an empty slot, after the table has grown
    // if this key would fill it beyond half.
    if ((static_cast<std::size_t>(FKeyCount) + 1) * 2 > FSlots.size()) {
      Grow();
      slot = FindSlot(key, hash);
    }
    const int32_t index = Append(make(), -1);
    FSlots[slot] = {TagOf(hash), index};
    ++FKeyCount;
    return index;
  }

  // Fetches the index's slot for the item into the cache ahead of its
  // FindOrAdd: a caller offering a long run of items asks a few ahead, and
  // their slots, scattered over a table of megabytes, arrive meanwhile.
  // Changes nothing.
  void Prefetch(const Item& item) const {
    KeyT key{};
    if (FSlots.empty() || !Traits::KeyOf(item, key)) return;
#if defined(__GNUC__)
    __builtin_prefetch(&FSlots[static_cast<std::size_t>(Traits::HashKey(key) >> FShift)]);
#endif
  }

  // Room for `count` items in all, so that the list does not move its items
  // while it grows: a caller that knows an upper bound touches only the
  // memory that the items it adds need, and copies none of them.
  void Reserve(std::size_t count) {
    FItems.reserve(count);
    FNext.reserve(count);
  }

  // Room in the index for `count` distinct keys before it grows again: each
  // growth enters every key anew.
  void ReserveKeys(std::size_t count) {
    std::size_t capacity = FSlots.empty() ? 16 : FSlots.size();
    while (capacity < 2 * count) capacity *= 2;
    if (capacity > FSlots.size()) Grow(capacity);
  }

  // Hands the items over in list order and leaves the list empty.
  std::vector<Item> TakeItems() {
    std::vector<Item> items = std::move(FItems);
    FItems.clear();
    FNext.clear();
    FSlots.clear();
    FKeyCount = 0;
    return items;
  }

private:
  // Eight bytes: the key itself is the newest item's, and the hash's top
  // bits, which place the key, tell the keys of a probe apart without
  // reading an item but where they match.
  struct TSlot {
    uint32_t Tag;  // the top 32 bits of the key's hash
    int32_t Head;  // newest item with this key; -1 while the slot is empty
  };

  static uint32_t TagOf(uint64_t hash) { return static_cast<uint32_t>(hash >> 32); }

  bool HasKey(int32_t index, const KeyT& key) const {
    KeyT stored{};
    Traits::KeyOf(FItems[static_cast<std::size_t>(index)], stored);
    return stored == key;
  }

  // The slot that holds the key, or the empty slot where it belongs (linear
  // probing from the hash's top bits; the table is at most half full).
  std::size_t FindSlot(const KeyT& key, uint64_t hash) const {
    const std::size_t mask = FSlots.size() - 1;
    const uint32_t tag = TagOf(hash);
    for (std::size_t i = static_cast<std::size_t>(hash >> FShift);; i = (i + 1) & mask) {
      const TSlot& slot = FSlots[i];
      if (slot.Head < 0 || (slot.Tag == tag && HasKey(slot.Head, key))) return i;
    }
  }

  int32_t FindInChain(int32_t index, const Item& item) const {
    for (; index >= 0; index = FNext[static_cast<std::size_t>(index)])
      if (Traits::Compare(item, FItems[static_cast<std::size_t>(index)])) return index;
    return -1;
  }

  // Appends an item whose next older item of the same key is `older`. Leaves
  // the list as it was if an allocation fails.
  int32_t Append(Item&& item, int32_t older) {
    FNext.push_back(older);
    try {
      FItems.push_back(std::move(item));
    } catch (...) {
      FNext.pop_back();
      throw;
    }
    return static_cast<int32_t>(FItems.size() - 1);
  }

  // Doubles the table (16 slots at first), or makes it `capacity` slots (a
  // power of two), and re-enters every key; the keys are distinct, so each
  // goes to the first empty slot of its probe.
  void Grow(std::size_t capacity = 0) {
    if (capacity == 0) capacity = FSlots.empty() ? 16 : FSlots.size() * 2;
    unsigned shift = 64;
    for (std::size_t c = capacity; c > 1; c >>= 1) --shift;
    std::vector<TSlot> slots(capacity, TSlot{0, -1});
    const std::size_t mask = capacity - 1;
    for (const TSlot& old : FSlots) {
      if (old.Head < 0) continue;
      // The tag holds the hash's top bits, all that a slot's place takes.
      std::size_t i = static_cast<std::size_t>((uint64_t{old.Tag} << 32) >> shift);
      while (slots[i].Head >= 0) i = (i + 1) & mask;
      slots[i] = old;
    }
    FSlots = std::move(slots);
    FShift = shift;
  }

  static bool KeyUnchanged(const Item& item, const KeyT& key) {
    KeyT now{};
    return Traits::KeyOf(item, now) && now == key;
  }

  std::vector<Item> FItems;
  std::vector<int32_t> FNext;  // per item: the next older item with the same key, or -1
  std::vector<TSlot> FSlots;   // empty, or a power of two in size
  int32_t FKeyCount = 0;       // slots in use
  unsigned FShift = 64;        // 64 - log2(slot count): the hash's top bits pick the slot
};
