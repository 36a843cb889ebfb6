#pragma once
// Objects that keep their address for as long as their owner lives, made in
// blocks instead of one heap allocation each: a level holds millions of
// vertices and polygons, and allocating them one by one took longer than
// reading them. Blocks grow from a size the owner may know in advance (the
// number of a primitive's vertices, say) and double from there, so a small
// primitive wastes little and a large one needs few blocks.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

template <typename T>
class TObjectBlocks {
public:
  TObjectBlocks() = default;
  TObjectBlocks(const TObjectBlocks&) = delete;
  TObjectBlocks& operator=(const TObjectBlocks&) = delete;
  ~TObjectBlocks() {
    for (TBlock& block : FBlocks) {
      std::destroy_n(block.Items, block.Used);
      std::allocator<T>().deallocate(block.Items, block.Capacity);
    }
  }

  // Room for at least `count` more objects in one block, when the current
  // block has less.
  void Reserve(std::size_t count) {
    if (!FBlocks.empty() && FBlocks.back().Capacity - FBlocks.back().Used >= count) return;
    if (count > 0) AddBlock(count);
  }

  template <typename... TArgs>
  T& Emplace(TArgs&&... arguments) {
    if (FBlocks.empty() || FBlocks.back().Used == FBlocks.back().Capacity)
      AddBlock(FBlocks.empty() ? kFirstBlock : std::min(FBlocks.back().Capacity * 2, kLargestBlock));
    TBlock& block = FBlocks.back();
    T* item = ::new (static_cast<void*>(block.Items + block.Used)) T(std::forward<TArgs>(arguments)...);
    ++block.Used;  // only once the object exists, so that a throwing constructor leaves nothing to destroy
    return *item;
  }

private:
  static constexpr std::size_t kFirstBlock = 4;
  static constexpr std::size_t kLargestBlock = 4096;

  struct TBlock {
    T* Items;
    std::size_t Used;
    std::size_t Capacity;
  };

  void AddBlock(std::size_t capacity) {
    FBlocks.reserve(FBlocks.size() + 1);  // so that push_back cannot throw once the block is allocated
    FBlocks.push_back({std::allocator<T>().allocate(capacity), 0, capacity});
  }

  std::vector<TBlock> FBlocks;
};
